// GUID text, code-page conversion, folder paths and device-path tests.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kxSystem.h"

namespace {

std::u16string Ascii16(const char* s) {
  std::u16string out;
  for (; *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return out;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`; false when any is not a hex digit.
bool ReadHex(const std::u16string& s, size_t pos, int digits, uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = HexValue(s[pos + i]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<uint64_t>(v);
  }
  return true;
}

// The registry form only: "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
bool ParseBracedGuid(const std::u16string& s, GUID& out) {
  if (s.size() != 38 || s.front() != u'{' || s.back() != u'}') return false;
  if (s[9] != u'-' || s[14] != u'-' || s[19] != u'-' || s[24] != u'-') return false;
  GUID g{};
  uint64_t v = 0;
  if (!ReadHex(s, 1, 8, v)) return false;
  g.Data1 = static_cast<uint32_t>(v);
  if (!ReadHex(s, 10, 4, v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!ReadHex(s, 15, 4, v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  static constexpr size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(s, kBytePos[i], 2, v)) return false;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  out = g;
  return true;
}

// iconv's name for a Windows code page; null when the page is not known.
const char* IconvName(uint32_t codePage) {
  switch (codePage) {
    case 0:      // the "ANSI" page: UTF-8 on Linux
    case 65001: return "UTF-8";
    case 437: return "CP437";
    case 850: return "CP850";
    case 852: return "CP852";
    case 855: return "CP855";
    case 866: return "CP866";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 20127: return "ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28605: return "ISO-8859-15";
    case 54936: return "GB18030";
    default: return nullptr;
  }
}

// Converts with iconv. An input sequence that cannot be converted costs
// `skip` bytes and is replaced by `replacement` (already in the target
// encoding), the way the platform converter substitutes. Empty when the
// conversion cannot be set up.
std::string IconvConvert(const char* to, const char* from, const char* in, size_t inLen, size_t skip,
                         const std::string& replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  char buffer[4096];
  char* src = const_cast<char*>(in);
  size_t left = inLen;
  bool flushing = false;  // the input is used up: shift back to the initial state
  for (;;) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t r = flushing ? iconv(cd, nullptr, nullptr, &dst, &room) : iconv(cd, &src, &left, &dst, &room);
    const int err = errno;
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = left == 0;
      continue;
    }
    if (err == E2BIG) continue;
    if (flushing || (err != EILSEQ && err != EINVAL)) break;
    // A sequence that cannot be converted, or one cut off at the end.
    const size_t n = left < skip ? left : skip;
    src += n;
    left -= n;
    out += replacement;
  }
  iconv_close(cd);
  return out;
}

template <typename S>
S CutAtNul(S s) {
  const auto nul = s.find(typename S::value_type(0));
  if (nul != S::npos) s.resize(nul);
  return s;
}

}  // namespace

std::u16string Guid2Str(GUID g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.8x-%.4x-%.4x-%.2x%.2x-%.2x%.2x%.2x%.2x%.2x%.2x", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return Ascii16(buf);
}

std::u16string Guid2Str_(GUID guid) {
  std::u16string s = Guid2Str(guid);
  for (char16_t& c : s)
    if (c == u'-') c = u'_';
  return s;
}

GUID Str2Guid(std::u16string text) {
  GUID g{};
  // The bare form first, then the text as given (already braced).
  if (ParseBracedGuid(u"{" + text + u"}", g)) return g;
  if (ParseBracedGuid(text, g)) return g;
  return GUID{};
}

std::u16string kxA2W(std::string text, uint32_t codePage) {
  if (text.empty()) return {};
  std::u16string out;
  if (codePage == 65001 || codePage == 0) {
    out = ConvertUTF8ToUnicode(text);
  } else {
    const char* name = IconvName(codePage);
    if (name == nullptr) return {};
    static const std::string kReplacementLE("\xFD\xFF", 2);  // U+FFFD
    const std::string bytes = IconvConvert("UTF-16LE", name, text.data(), text.size(), 1, kReplacementLE);
    out.resize(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return CutAtNul(std::move(out));
}

std::string kxW2A(std::u16string text, uint32_t codePage) {
  if (text.empty()) return {};
  std::string out;
  if (codePage == 65001 || codePage == 0) {
    out = ConvertUnicodeToUTF8(text);
  } else {
    const char* name = IconvName(codePage);
    if (name == nullptr) return {};
    std::string le(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
      le[2 * i] = static_cast<char>(text[i] & 0xFF);
      le[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    // A character the page cannot hold (or an unpaired surrogate) becomes "?".
    out = IconvConvert(name, "UTF-16LE", le.data(), le.size(), 2, "?");
  }
  return CutAtNul(std::move(out));
}

std::u16string kxNormalizePath(std::u16string path) {
  path = CutAtNul(std::move(path));
  if (path.size() > 258) path.resize(258);
  if (!path.empty() && path.back() != u'/') path += u'/';
  return path;
}

std::u16string kxExtractFilePath(const char16_t* path) {
  if (path == nullptr) return {};
  // The path must fit a buffer of 260 units with its terminator.
  size_t len = 0;
  while (len < 260 && path[len] != 0) ++len;
  if (len >= 260) return {};
  const std::u16string p(path, len);
  const size_t slash = p.rfind(u'/');
  const size_t dirLen = slash == std::u16string::npos ? 0 : slash + 1;
  // Directory, file name and extension each fit 255 units, or nothing is split.
  const std::u16string file = p.substr(dirLen);
  const size_t dot = file.rfind(u'.');
  const size_t nameLen = dot == std::u16string::npos ? file.size() : dot;
  if (dirLen > 255 || nameLen > 255 || file.size() - nameLen > 255) return {};
  return p.substr(0, dirLen);
}

bool kxCheckVidPid(std::u16string devicePath, uint16_t vendorId, uint16_t productId) {
  for (char16_t& c : devicePath)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  char vid[16], pid[16];
  std::snprintf(vid, sizeof vid, "VID_%X", vendorId);
  std::snprintf(pid, sizeof pid, "PID_%X", productId);
  // A tag counts where it is found first, after the first character, and not
  // followed by a further hex digit (VID_12 is not vendor 0x1234).
  auto found = [&devicePath](const std::u16string& tag) {
    const size_t pos = devicePath.find(tag);
    if (pos == std::u16string::npos || pos == 0) return false;
    const size_t end = pos + tag.size();
    return end == devicePath.size() || HexValue(devicePath[end]) < 0;
  };
  return found(Ascii16(vid)) && found(Ascii16(pid));
}
