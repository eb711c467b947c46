// The update check reads a document fetched from the network: any bytes must
// parse or be refused without a crash, a hang or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const kx::KxVersion installed = kx::ParseProductVersion(bytes);
  const auto published = kx::ParseVersionDocument(bytes);
  if (!published) return 0;
  // Newer is a strict order: never both ways, never against itself.
  if (kx::IsNewerVersion(published->ver, installed) && kx::IsNewerVersion(installed, published->ver)) __builtin_trap();
  if (kx::IsNewerVersion(published->ver, published->ver)) __builtin_trap();
  // The link is text from the network too; the installed-version reader sees it.
  kx::ParseProductVersion(published->strLink);
  return 0;
}
