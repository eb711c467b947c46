#include "ffmpeg_loudness.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace kx::test {

namespace {
void Put32(std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); }
void Put16(std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); }
}  // namespace

bool WriteStereoFloatWav(const std::string& path, const std::vector<float>& samples, int rate) {
  std::ofstream f(path, std::ios::binary);
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * sizeof(float));
  f.write("RIFF", 4);
  Put32(f, 36 + bytes);
  f.write("WAVEfmt ", 8);
  Put32(f, 16);
  Put16(f, 3);  // IEEE float
  Put16(f, 2);
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate) * 8);
  Put16(f, 8);
  Put16(f, 32);
  f.write("data", 4);
  Put32(f, bytes);
  f.write(reinterpret_cast<const char*>(samples.data()), bytes);
  return static_cast<bool>(f);
}

std::optional<FfmpegLoudness> RunFfmpegEbur128(const std::string& wavPath) {
  const std::string meta = wavPath + ".r128.txt";
  const std::string command = "ffmpeg -nostdin -hide_banner -v error -i '" + wavPath +
                              "' -af ebur128=peak=true:metadata=1,ametadata=print:file='" + meta +
                              "' -f null - 2>/dev/null";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::ifstream in(meta);
  if (!in) return std::nullopt;
  FfmpegLoudness r;
  bool any = false;
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (line.rfind("lavfi.r128.", 0) != 0 || eq == std::string::npos) continue;
    const std::string key = line.substr(11, eq - 11);
    const double v = std::strtod(line.c_str() + eq + 1, nullptr);
    any = true;
    if (key == "M") r.momentaryMax = std::max(r.momentaryMax, v);
    else if (key == "S") r.shortTermMax = std::max(r.shortTermMax, v);
    else if (key == "I") r.integrated = v;
    else if (key == "LRA") r.range = v;
    else if (key == "true_peak" && v > 0) r.truePeakDbtp = std::max(r.truePeakDbtp, 20 * std::log10(v));
  }
  std::remove(meta.c_str());
  return any ? std::optional<FfmpegLoudness>(r) : std::nullopt;
}

}  // namespace kx::test
