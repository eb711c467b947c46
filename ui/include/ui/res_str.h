// Resource strings by number, the way the user-interface library hands them
// out. The table itself is resources/string_table.inc.
#pragma once

#include <cstdint>
#include <string>

namespace kx {

// The text of string resource `id`; empty when the table has no such entry.
std::u16string ResStr(uint32_t id);

// printf-style formatting of a resource text. "%S" takes a narrow (UTF-8)
// string as "%s" does; the texts and arguments here are short.
std::u16string FormatResStr(uint32_t id, ...);

}  // namespace kx
