#include "wide_format.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kxSystem.h"

namespace kxsys {

namespace {

bool IsFlag(char16_t c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Printf of one narrow conversion; `pattern` is complete ("%08.3llx").
template <typename T>
bool AppendNarrow(std::u16string& out, const std::string& pattern, T value) {
  char small[128];
  const int n = std::snprintf(small, sizeof small, pattern.c_str(), value);
  if (n < 0) return false;
  std::string text;
  if (static_cast<size_t>(n) < sizeof small) {
    text.assign(small, static_cast<size_t>(n));
  } else {
    text.resize(static_cast<size_t>(n) + 1);
    std::snprintf(text.data(), text.size(), pattern.c_str(), value);
    text.resize(static_cast<size_t>(n));
  }
  for (unsigned char c : text) out += static_cast<char16_t>(c);
  return true;
}

void AppendInt(std::u16string& out, int value) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  for (const char* c = buf; c != r.ptr; ++c) out += static_cast<char16_t>(*c);
}

// A string argument with printf's width and precision applied.
void AppendPadded(std::u16string& out, std::u16string_view text, bool left, int width, int precision) {
  if (precision >= 0 && text.size() > static_cast<size_t>(precision)) text = text.substr(0, precision);
  const size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
  if (!left) out.append(pad, u' ');
  out.append(text);
  if (left) out.append(pad, u' ');
}

}  // namespace

bool VFormat16(std::u16string& out, size_t limit, const char16_t* format, va_list args) {
  out.clear();
  if (format == nullptr) return false;
  out.reserve(64);
  for (const char16_t* p = format; *p; ++p) {
    if (out.size() > limit) return false;
    if (*p != u'%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == u'%') {
      out += u'%';
      continue;
    }
    std::string pattern = "%";
    bool left = false;
    for (; IsFlag(*p); ++p) {
      left = left || *p == u'-';
      pattern += static_cast<char>(*p);
    }
    int width = -1;
    if (*p == u'*') {
      width = va_arg(args, int);
      if (width > 100000 || width < -100000) return false;
      if (width < 0) left = true, pattern += '-', width = -width;
      ++p;
    } else if (IsDigit(*p)) {
      width = 0;
      for (; IsDigit(*p); ++p) {
        width = width * 10 + (*p - u'0');
        if (width > 100000) return false;
      }
    }
    if (width >= 0) pattern += std::to_string(width);
    int precision = -1;
    if (*p == u'.') {
      ++p;
      precision = 0;
      if (*p == u'*') {
        precision = va_arg(args, int);
        if (precision > 100000) return false;
        ++p;
      } else {
        for (; IsDigit(*p); ++p) {
          precision = precision * 10 + (*p - u'0');
          if (precision > 100000) return false;
        }
      }
      if (precision >= 0) pattern += "." + std::to_string(precision);
    }
    // Length: C's, plus the platform's I, I32, I64 and w.
    enum { kNone, kHH, kH, kL, kLL, kZ, kJ, kT, kBigL, kW } length = kNone;
    switch (*p) {
      case u'h':
        ++p;
        if (*p == u'h') ++p, length = kHH;
        else length = kH;
        break;
      case u'l':
        ++p;
        if (*p == u'l') ++p, length = kLL;
        else length = kL;
        break;
      case u'L': ++p, length = kBigL; break;
      case u'z': ++p, length = kZ; break;
      case u'j': ++p, length = kJ; break;
      case u't': ++p, length = kT; break;
      case u'w': ++p, length = kW; break;
      case u'I':
        ++p;
        if (p[0] == u'6' && p[1] == u'4') p += 2, length = kLL;
        else if (p[0] == u'3' && p[1] == u'2') p += 2, length = kNone;
        else length = kZ;
        break;
      default: break;
    }
    const char16_t conv = *p;
    if (conv == 0) return false;
    switch (conv) {
      case u'd':
      case u'i': {
        if (pattern.size() == 1 && length == kNone) {  // plain %d: the common case, without printf
          AppendInt(out, va_arg(args, int));
          break;
        }
        bool ok;
        switch (length) {
          case kHH: ok = AppendNarrow(out, pattern + "hhd", static_cast<signed char>(va_arg(args, int))); break;
          case kH: ok = AppendNarrow(out, pattern + "hd", static_cast<short>(va_arg(args, int))); break;
          case kL: ok = AppendNarrow(out, pattern + "ld", va_arg(args, long)); break;
          case kLL: ok = AppendNarrow(out, pattern + "lld", va_arg(args, long long)); break;
          case kZ:
          case kT: ok = AppendNarrow(out, pattern + "td", va_arg(args, ptrdiff_t)); break;
          case kJ: ok = AppendNarrow(out, pattern + "jd", va_arg(args, intmax_t)); break;
          case kNone: ok = AppendNarrow(out, pattern + "d", va_arg(args, int)); break;
          default: return false;
        }
        if (!ok) return false;
        break;
      }
      case u'u':
      case u'o':
      case u'x':
      case u'X': {
        const char c = static_cast<char>(conv);
        bool ok;
        switch (length) {
          case kHH:
            ok = AppendNarrow(out, pattern + "hh" + c, static_cast<unsigned char>(va_arg(args, unsigned)));
            break;
          case kH: ok = AppendNarrow(out, pattern + "h" + c, static_cast<unsigned short>(va_arg(args, unsigned))); break;
          case kL: ok = AppendNarrow(out, pattern + "l" + c, va_arg(args, unsigned long)); break;
          case kLL: ok = AppendNarrow(out, pattern + "ll" + c, va_arg(args, unsigned long long)); break;
          case kZ:
          case kT: ok = AppendNarrow(out, pattern + "z" + c, va_arg(args, size_t)); break;
          case kJ: ok = AppendNarrow(out, pattern + "j" + c, va_arg(args, uintmax_t)); break;
          case kNone: ok = AppendNarrow(out, pattern + c, va_arg(args, unsigned)); break;
          default: return false;
        }
        if (!ok) return false;
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        const char c = static_cast<char>(conv);
        const bool ok = length == kBigL ? AppendNarrow(out, pattern + "L" + c, va_arg(args, long double))
                                        : AppendNarrow(out, pattern + c, va_arg(args, double));
        if (!ok) return false;
        break;
      }
      case u'p':
        if (!AppendNarrow(out, pattern + "p", va_arg(args, void*))) return false;
        break;
      case u'c':
      case u'C': {
        const int value = va_arg(args, int);
        // %c is a UTF-16 unit; %hc and %C a narrow (Latin-1) character.
        const bool narrow = length == kH || conv == u'C';
        const char16_t unit = narrow ? static_cast<char16_t>(static_cast<unsigned char>(value))
                                     : static_cast<char16_t>(value);
        AppendPadded(out, std::u16string_view(&unit, 1), left, width, -1);
        break;
      }
      case u's':
      case u'S': {
        // With a precision, printf reads no more than that: the argument
        // need not be terminated. The narrow form counts bytes.
        if (length == kH || conv == u'S') {
          const char* s = va_arg(args, const char*);
          if (s && precision >= 0) {
            const std::string bytes(s, strnlen(s, static_cast<size_t>(precision)));
            AppendPadded(out, ConvertUTF8ToUnicode(bytes), left, width, -1);
          } else {
            AppendPadded(out, s ? ConvertUTF8ToUnicode(s) : u"(null)", left, width, precision);
          }
        } else {
          const char16_t* s = va_arg(args, const char16_t*);
          std::u16string_view text(u"(null)");
          if (s && precision >= 0)
            text = std::u16string_view(s, std::find(s, s + precision, u'\0') - s);
          else if (s)
            text = std::u16string_view(s);
          AppendPadded(out, text, left, width, precision);
        }
        break;
      }
      default:
        return false;  // unknown conversions, and %n, which would write through an argument
    }
  }
  return out.size() <= limit;
}

}  // namespace kxsys
