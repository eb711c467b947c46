// printf-style formatting into UTF-16 for the log's format overload.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace kxsys {

// Formats `format` with `args` into `out`. False when the format is malformed
// (or asks for %n) or the result would be longer than `limit` units.
bool VFormat16(std::u16string& out, size_t limit, const char16_t* format, va_list args);

}  // namespace kxsys
