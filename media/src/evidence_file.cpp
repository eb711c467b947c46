#include "media/evidence_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kxSystem.h"

namespace kx {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

constexpr uint16_t kFormatPcm = 1, kFormatFloat = 3;

}  // namespace

std::vector<uint8_t> WavFileBytes(const float* interleaved, size_t frames, int channels, int rate, WavSample sample) {
  const bool isFloat = sample == WavSample::Float32;
  const uint32_t bytesPerValue = isFloat ? 4 : 2;
  const uint32_t blockAlign = bytesPerValue * static_cast<uint32_t>(channels);
  const uint32_t dataBytes = static_cast<uint32_t>(frames) * blockAlign;
  // Float files carry the extension size (0) and a "fact" chunk, as the format asks of non-PCM data.
  const uint32_t fmtBytes = isFloat ? 18 : 16;
  const uint32_t factBytes = isFloat ? 12 : 0;
  std::vector<uint8_t> out;
  out.reserve(12 + 8 + fmtBytes + factBytes + 8 + dataBytes);
  PutTag(out, "RIFF");
  Put32(out, 4 + 8 + fmtBytes + factBytes + 8 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, fmtBytes);
  Put16(out, isFloat ? kFormatFloat : kFormatPcm);
  Put16(out, static_cast<uint32_t>(channels));
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate) * blockAlign);
  Put16(out, blockAlign);
  Put16(out, bytesPerValue * 8);
  if (isFloat) {
    Put16(out, 0);
    PutTag(out, "fact");
    Put32(out, 4);
    Put32(out, static_cast<uint32_t>(frames));
  }
  PutTag(out, "data");
  Put32(out, dataBytes);
  const size_t values = frames * static_cast<size_t>(channels);
  for (size_t i = 0; i < values; ++i) {
    if (isFloat) {
      uint32_t bits;
      std::memcpy(&bits, &interleaved[i], 4);
      Put32(out, bits);
    } else {
      const float v = interleaved[i] > 1.0f ? 1.0f : interleaved[i] < -1.0f ? -1.0f : interleaved[i];
      const long s = std::lround(v * 32767.0f);
      Put16(out, static_cast<uint16_t>(static_cast<int16_t>(s)));
    }
  }
  return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* reason) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (reason) *reason = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int writeErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (written && closed) return true;
  if (reason) *reason = std::strerror(written ? errno : writeErrno);
  std::remove(path.c_str());  // no half file left behind
  return false;
}

std::u16string EvidenceFileName(std::u16string_view camera, const LocalTime& t, std::u16string_view extension) {
  std::u16string masked = kxMaskUrlPassword(camera);
  // A leading "scheme://" says nothing about the camera.
  if (const size_t scheme = masked.find(u"://"); scheme != std::u16string::npos && scheme > 0) {
    bool isScheme = true;
    for (size_t i = 0; i < scheme; ++i) {
      const char16_t c = masked[i];
      isScheme &= (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' ||
                  c == u'-' || c == u'.';
    }
    if (isScheme) masked.erase(0, scheme + 3);
  }
  // Letters and digits of any script stay, and a few harmless marks; the
  // rest (slashes, colons, '@', the mask's '*', control characters) become
  // one "_" per run.
  std::u16string name;
  for (char16_t c : masked) {
    const bool ascii = c < 0x80;
    const bool keep = !ascii || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                      c == u'-' || c == u'.' || c == u' ' || c == u'(' || c == u')' || c == u'+' || c == u',';
    if (keep)
      name += c;
    else if (name.empty() || name.back() != u'_')
      name += u'_';
  }
  constexpr size_t kLongest = 80;
  if (name.size() > kLongest) {
    size_t cut = kLongest;
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;  // never half a surrogate pair
    name.resize(cut);
  }
  // No leading dot (a hidden file) and no blank, dot or "_" at either end.
  const auto trim = [](char16_t c) { return c == u'_' || c == u' ' || c == u'.'; };
  while (!name.empty() && trim(name.back())) name.pop_back();
  size_t lead = 0;
  while (lead < name.size() && trim(name[lead])) ++lead;
  name.erase(0, lead);
  if (name.empty()) name = u"camera";
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d-%02d-%02d.", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  for (const char* p = stamp; *p; ++p) name += static_cast<char16_t>(*p);
  name += extension;
  return name;
}

}  // namespace kx
