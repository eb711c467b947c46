// The in-memory settings block. The user-interface thread writes a member
// whole; render, decode and audio threads read members without a lock, so
// each is a relaxed atomic (no torn reads, no data race, no cost).
#pragma once

#include <atomic>
#include <cstdint>

namespace kx {

using COLORREF = uint32_t;  // 0x00BBGGRR
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

template <typename T>
class Setting {
 public:
  constexpr explicit Setting(T initial) : value_(initial) {}
  T Get() const { return value_.load(std::memory_order_relaxed); }
  void Set(T v) { value_.store(v, std::memory_order_relaxed); }
  operator T() const { return Get(); }
  Setting& operator=(T v) {
    Set(v);
    return *this;
  }

 private:
  std::atomic<T> value_;
};

struct CSettingsBlock {
  Setting<int32_t> SpectrumView{1};      // 1 real time, 2 middle, 4 minimum, 8 maximum
  Setting<int32_t> ModeWave{1};          // 0 "Log", 1 "LogLine"
  Setting<int32_t> ModeSpectrum{0};      // 0 lines, 1 bars
  Setting<int32_t> SpectrumBound{80};    // dB below 0
  Setting<int32_t> ShowWidgets{0};       // 0 picture and widgets, 1 widgets, 2 picture
  Setting<int32_t> Opacity{50};          // percent
  Setting<int32_t> OpacitySpectrum{50};  // percent
  Setting<int32_t> OpenTimeout{4000};    // milliseconds
  Setting<COLORREF> ColorAxis{RGB(128, 128, 128)};
  Setting<COLORREF> ColorBkg{RGB(54, 54, 54)};
  Setting<COLORREF> ColorWave{RGB(195, 218, 237)};
  Setting<COLORREF> ColorSpectrum{RGB(195, 218, 237)};
  Setting<COLORREF> ColorPeakMin{RGB(195, 218, 237)};
  Setting<COLORREF> ColorPeakMid{RGB(255, 255, 0)};
  Setting<COLORREF> ColorPeakMax{RGB(255, 0, 0)};
  Setting<int32_t> Preview{1};    // audio to the output device on (1) or off (0)
  Setting<int32_t> OutputID{0};   // index into the device list, 0 = "Default"
  Setting<int32_t> WaveScale{480};
  Setting<int32_t> WindowFunc{4};  // Blackman
  Setting<int32_t> MeasurePanel{0};  // the sound measurements' panel shown (1) or hidden (0)
  Setting<int32_t> Reconnect{0};     // after a drop: 0 one try ("Once"), 1 "Keep trying"
};

}  // namespace kx
