// What "Save picture" and "Save sound" write, without a window: the WAV file
// of the kept sound and the names of the saved files. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

enum class WavSample { Float32, Int16 };

// A whole WAV file: RIFF header, "fmt " (IEEE float with its "fact" chunk,
// or 16-bit PCM; float values beyond ±1 are clipped for 16 bits) and "data".
std::vector<uint8_t> WavFileBytes(const float* interleaved, size_t frames, int channels, int rate, WavSample sample);

// Writes `bytes` to `path` (created or replaced); false with the system's
// reason when it cannot be written whole.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* reason);

struct LocalTime {
  int year, month, day, hour, minute, second;
};

// "<camera> YYYY-MM-DD HH-MM-SS.<extension>": the camera's name (a bookmark's
// name or its address) with any password masked, the scheme left out and the
// characters that paths or shells treat specially made "_"; at most 80
// characters of it; "camera" when nothing is left.
std::u16string EvidenceFileName(std::u16string_view camera, const LocalTime& time, std::u16string_view extension);

}  // namespace kx
