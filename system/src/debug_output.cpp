#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "kxSystem.h"

namespace {
bool DebugOutputEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("KX_DEBUG_OUTPUT");
    return v != nullptr && *v != '\0' && std::strcmp(v, "0") != 0;
  }();
  return enabled;
}
std::mutex g_outputMutex;
}  // namespace

void kxDebugOutputUtf8(std::string_view utf8) {
  if (!DebugOutputEnabled()) return;
  std::lock_guard<std::mutex> g(g_outputMutex);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}
