#include "ui/res_str.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "kxSystem.h"

namespace kx {

namespace {

struct Entry {
  uint32_t id;
  const char16_t* text;
};

constexpr Entry kTable[] = {
#define KX_STRING(id, text) {id, text},
#include "string_table.inc"
#undef KX_STRING
};

constexpr bool Sorted() {
  for (size_t i = 1; i < std::size(kTable); ++i)
    if (kTable[i - 1].id >= kTable[i].id) return false;
  return true;
}
static_assert(Sorted(), "string table entries must be in increasing number order");

}  // namespace

std::u16string ResStr(uint32_t id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, uint32_t v) { return e.id < v; });
  if (it == std::end(kTable) || it->id != id) return {};
  return it->text;
}

std::u16string FormatResStr(uint32_t id, ...) {
  std::string format = ConvertUnicodeToUTF8(ResStr(id));
  for (size_t p = format.find("%S"); p != std::string::npos; p = format.find("%S", p)) format[p + 1] = 's';
  va_list args;
  va_start(args, id);
  std::array<char, 1024> buffer{};
  std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), args);
  va_end(args);
  return ConvertUTF8ToUnicode(buffer.data());
}

}  // namespace kx
