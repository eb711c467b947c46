// Resource strings by number, the way the user-interface library hands them
// out. The table itself is resources/string_table.inc (English, the source of
// every translation); the translation manager (ui/translation_manager.h)
// installs the active language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The text of string resource `id` in the active language; the English text
// when the language has no translation for it; empty when the table has no
// such entry.
std::u16string ResStr(uint32_t id);

// The built-in English text, whatever the active language: log lines are
// never translated.
std::u16string ResStrEnglish(uint32_t id);

// Every number of the table, in increasing order.
std::vector<uint32_t> ResStrIds();

// printf-style formatting of a resource text. "%S" takes a narrow (UTF-8)
// string as "%s" does; the texts and arguments here are short. A translation
// whose placeholders differ from the English text's is not used.
std::u16string FormatResStr(uint32_t id, ...);
// The same with the built-in English text, for the log.
std::u16string FormatResStrEnglish(uint32_t id, ...);

// The printf conversions of a text in order ("%d", "%.01lf", "%S"); "%%" is
// not one.
std::vector<std::u16string> FormatPlaceholders(std::u16string_view text);

// The translation hook: given the id and its English text, returns the
// translated text or an empty string. Installed by the translation manager
// (nullptr: English only). Called from any thread.
using ResStrTranslator = std::u16string (*)(uint32_t id, const char16_t* english);
void SetResStrTranslator(ResStrTranslator translator);

}  // namespace kx
