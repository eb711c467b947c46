#include "resources/res_str.h"

#include <algorithm>
#include <array>
#include <atomic>
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

std::atomic<ResStrTranslator> g_translator{nullptr};

const char16_t* Find(uint32_t id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, uint32_t v) { return e.id < v; });
  if (it == std::end(kTable) || it->id != id) return nullptr;
  return it->text;
}

}  // namespace

std::u16string ResStrEnglish(uint32_t id) {
  const char16_t* text = Find(id);
  return text ? std::u16string(text) : std::u16string();
}

std::vector<uint32_t> ResStrIds() {
  std::vector<uint32_t> ids;
  ids.reserve(std::size(kTable));
  for (const Entry& e : kTable) ids.push_back(e.id);
  return ids;
}

std::u16string ResStr(uint32_t id) {
  const char16_t* text = Find(id);
  if (!text) return {};
  if (ResStrTranslator translate = g_translator.load(std::memory_order_acquire)) {
    std::u16string translated = translate(id, text);
    if (!translated.empty()) return translated;
  }
  return text;
}

void SetResStrTranslator(ResStrTranslator translator) { g_translator.store(translator, std::memory_order_release); }

std::vector<std::u16string> FormatPlaceholders(std::u16string_view text) {
  static constexpr std::u16string_view kPrefix = u"-+ #0123456789.*hlLqjzt";
  std::vector<std::u16string> out;
  for (size_t p = text.find(u'%'); p != std::u16string_view::npos; p = text.find(u'%', p)) {
    size_t end = p + 1;
    while (end < text.size() && kPrefix.find(text[end]) != std::u16string_view::npos) ++end;
    if (end < text.size() && text[end] == u'%' && end == p + 1) {  // "%%"
      p = end + 1;
      continue;
    }
    if (end < text.size()) ++end;  // the conversion letter
    out.emplace_back(text.substr(p, end - p));
    p = end;
  }
  return out;
}

namespace {

std::u16string FormatText(const std::u16string& text, va_list args) {
  std::string format = ConvertUnicodeToUTF8(text);
  for (size_t p = format.find("%S"); p != std::string::npos; p = format.find("%S", p)) format[p + 1] = 's';
  std::array<char, 1024> buffer{};
  std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), args);
  return ConvertUTF8ToUnicode(buffer.data());
}

}  // namespace

std::u16string FormatResStr(uint32_t id, ...) {
  // The arguments fit the English text: a translation whose placeholders
  // differ would read them wrongly, so it gives way to the English.
  std::u16string text = ResStr(id);
  const std::u16string english = ResStrEnglish(id);
  if (FormatPlaceholders(text) != FormatPlaceholders(english)) text = english;
  va_list args;
  va_start(args, id);
  std::u16string out = FormatText(text, args);
  va_end(args);
  return out;
}

std::u16string FormatResStrEnglish(uint32_t id, ...) {
  va_list args;
  va_start(args, id);
  std::u16string out = FormatText(ResStrEnglish(id), args);
  va_end(args);
  return out;
}

}  // namespace kx
