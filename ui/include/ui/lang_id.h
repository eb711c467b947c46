// Windows language identifiers (LANGID: primary language in the low 10 bits,
// sub-language above) and the locale names they stand for. The stored
// UILanguage value is such a number (1033 English US, 1049 Russian).
// Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

constexpr uint16_t kLangEnglishUS = 1033;
constexpr uint16_t kLangRussian = 1049;

// "ru_RU" for 1049; a language known only by its primary part gives that
// language's first listed locale; empty when the number is unknown.
std::string LocaleNameFromLangId(uint32_t langId);

// 1049 for "ru_RU", "ru-RU" or "ru"; a known language with an unlisted
// territory gives that language's first listed identifier; 0 when unknown.
uint16_t LangIdFromLocaleName(std::string_view name);

}  // namespace kx
