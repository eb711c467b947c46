// PNG pictures for the site report: a camera's snapshot and its spectrum.
#pragma once

#include <cstdint>
#include <vector>

namespace kx::probe {

// An RGB picture, 3 bytes a pixel, rows packed.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// The PNG file of the picture (FFmpeg's encoder); empty when it cannot be made.
std::vector<uint8_t> EncodePng(const RgbImage& image);

// A BGRA picture scaled down to at most `maxWidth` wide, keeping its shape.
RgbImage ScaledSnapshot(const uint8_t* bgra, int width, int height, int lineSize, int maxWidth);

// The mean spectrum of a run drawn as bars over a logarithmic frequency
// axis (20 Hz to the last bin), 60 dB tall, the strongest bin at the top.
// Platform-free.
RgbImage DrawSpectrum(const std::vector<double>& power, double binHz, int width, int height);

}  // namespace kx::probe
