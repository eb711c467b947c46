#include "app/ribbon_table.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace kx::ribbon {

namespace {

using S = CSettingsBlock;

// An element with its command id and the resource ids of its three texts.
constexpr Element WithTexts(Kind kind, uint32_t id, uint32_t textId, uint32_t tooltipId, uint32_t descriptionId) {
  Element e{kind};
  e.id = id;
  e.textId = textId;
  e.tooltipId = tooltipId;
  e.descriptionId = descriptionId;
  return e;
}

constexpr Element Button(uint32_t id, int image, const char* shortcut = nullptr) {
  Element e = WithTexts(Kind::Button, id, id, id, id + kDescriptionOffset);
  e.image = image;
  e.shortcut = shortcut;
  return e;
}

constexpr Element ChoiceButton(uint32_t id, int image, Setting<int32_t> S::*setting, int32_t value,
                               bool bit = false) {
  Element e = Button(id, image);
  e.choice = Choice{setting, value, bit};
  return e;
}

constexpr Element ColorButton(uint32_t id, int image, Setting<COLORREF> S::*setting) {
  Element e = Button(id, image);
  e.kind = Kind::ColorButton;
  e.color = ColorSetting{setting};
  return e;
}

constexpr Element Palette(uint32_t id, uint32_t textId, uint32_t descriptionId, Setting<int32_t> S::*setting) {
  Element e = WithTexts(Kind::Palette, id, textId, textId, descriptionId);
  e.image = 4;
  e.paletteSetting = setting;
  return e;
}

constexpr Element Combo(uint32_t id, ComboContent content, uint32_t labelId, uint32_t tipId) {
  Element e = WithTexts(Kind::ComboBox, id, labelId, tipId, tipId);
  e.width = 200;
  e.combo = content;
  return e;
}

constexpr Element Toggle(uint32_t id, int image, Setting<int32_t> S::*setting, const char* shortcut) {
  Element e = Button(id, image, shortcut);
  e.toggle = setting;
  return e;
}

constexpr Element Label(uint32_t textId) {
  Element e{Kind::Label};
  e.textId = textId;
  return e;
}

constexpr Element kControl[] = {
    Button(ID_PREVIEW_START, 0, "F5"),
    Button(ID_PREVIEW_STOP, 1, "Shift+F5"),
    Button(ID_PREVIEW_INFO, 2, "Ctrl+I"),
};
constexpr Element kCamera[] = {
    Button(ID_NEW_CAMERA, 22, "Ctrl+N"),
    Button(ID_ADD_BOOKMARK, 23, "Ctrl+D"),
    Button(ID_EDIT_BOOKMARK, 24),
};
constexpr Element kEvidence[] = {
    Button(ID_SAVE_PICTURE, 27, "Ctrl+S"),
    Button(ID_SAVE_SOUND, 28, "Ctrl+Shift+S"),
};
constexpr Element kReconnect[] = {
    ChoiceButton(ID_RECONNECT_ONCE, 29, &S::Reconnect, 0),
    ChoiceButton(ID_RECONNECT_KEEP_TRYING, 30, &S::Reconnect, 1),
};
constexpr Element kLayout[] = {
    ChoiceButton(ID_SHOW_ALL, 3, &S::ShowWidgets, 0),
    ChoiceButton(ID_SHOW_AUDIO, 20, &S::ShowWidgets, 1),
    ChoiceButton(ID_SHOW_VIDEO, 21, &S::ShowWidgets, 2),
    Palette(ID_OPACITY, ID_OPACITY, ID_OPACITY + kDescriptionOffset, &S::Opacity),
};
constexpr Element kPreviewColor[] = {
    ColorButton(ID_COLOR_AXIS, 5, &S::ColorAxis),
    ColorButton(ID_COLOR_BKG, 6, &S::ColorBkg),
};
constexpr Element kAudioMonitor[] = {
    [] {
      Element e = Combo(ID_DEVICE, ComboContent::Devices, ID_DEVICE, ID_DEVICE);
      e.descriptionId = ID_DEVICE + kDescriptionOffset;
      return e;
    }(),
    [] {
      Element e{Kind::Slider};
      e.id = ID_VOLUME;
      e.width = 220;
      return e;
    }(),
    [] {
      Element e = Button(ID_AUDIO_PREVIEW, -1);
      e.kind = Kind::CheckBox;
      return e;
    }(),
};
constexpr Element kPeakColor[] = {
    ColorButton(ID_COLOR_PEAK_MIN, 9, &S::ColorPeakMin),
    ColorButton(ID_COLOR_PEAK_MID, 10, &S::ColorPeakMid),
    ColorButton(ID_COLOR_PEAK_MAX, 11, &S::ColorPeakMax),
};
constexpr Element kWaveform[] = {
    Label(3016),
    Combo(ID_WAVE_SCALE, ComboContent::WaveScale, 0, 3016),
};
constexpr Element kWaveMode[] = {
    ChoiceButton(ID_WAVE_LOG, 12, &S::ModeWave, 0),
    ChoiceButton(ID_WAVE_LINE, 13, &S::ModeWave, 1),
};
constexpr Element kWaveColor[] = {
    ColorButton(ID_COLOR_WAVE, 7, &S::ColorWave),
};
constexpr Element kSpectrumOptions[] = {
    Label(3014),
    Label(3015),
    Label(0),
    Combo(ID_WINDOW_FUNC, ComboContent::WindowFunc, 0, 0),
    Combo(ID_SPECTRUM_BOUND, ComboContent::SpectrumBound, 0, 0),
};
constexpr Element kDrawMode[] = {
    ChoiceButton(ID_SPECTRUM_LINES, 14, &S::ModeSpectrum, 0),
    ChoiceButton(ID_SPECTRUM_BARS, 15, &S::ModeSpectrum, 1),
};
constexpr Element kSpectrumColor[] = {
    ColorButton(ID_COLOR_SPECTRUM, 8, &S::ColorSpectrum),
    Palette(ID_OPACITY_SPECTRUM, ID_OPACITY_SPECTRUM, ID_OPACITY_SPECTRUM + kDescriptionOffset, &S::OpacitySpectrum),
};
constexpr Element kView[] = {
    ChoiceButton(ID_VIEW_REAL_TIME, 16, &S::SpectrumView, 1, true),
    ChoiceButton(ID_VIEW_MIDDLE, 17, &S::SpectrumView, 2, true),
    ChoiceButton(ID_VIEW_MIN, 18, &S::SpectrumView, 4, true),
    ChoiceButton(ID_VIEW_MAX, 19, &S::SpectrumView, 8, true),
};
constexpr Element kMeasure[] = {
    Toggle(ID_MEASURE_PANEL, 25, &S::MeasurePanel, "Ctrl+M"),
    Button(ID_MEASURE_RESET, 26, "Ctrl+R"),
};

constexpr Panel kPreviewPanels[] = {
    {4010, kControl}, {4019, kCamera}, {4021, kEvidence}, {4011, kLayout}, {4012, kPreviewColor}, {4013, kAudioMonitor},
    {4022, kReconnect},  // last: a narrow window folds this rarely changed choice first
};
constexpr Panel kMeasurePanels[] = {{4020, kMeasure}};
constexpr Panel kPeakPanels[] = {{4012, kPeakColor}};
constexpr Panel kWaveformPanels[] = {{4014, kWaveform}, {4015, kWaveMode}, {4012, kWaveColor}};
constexpr Panel kSpectrumPanels[] = {
    {4016, kSpectrumOptions}, {4017, kDrawMode}, {4012, kSpectrumColor}, {4018, kView},
};

constexpr Category kCategories[] = {
    {4000, kPreviewPanels},
    {4001, kPeakPanels},
    {4002, kWaveformPanels},
    {4003, kSpectrumPanels},
    {4004, kMeasurePanels},
};

constexpr ComboItem kWaveScale[] = {
    {3027, 480}, {3028, 240}, {3029, 120}, {3030, 60}, {3031, 24},
    {3032, 12},  {3033, 6},   {3034, 3},   {3035, 1},
};
constexpr ComboItem kWindowFunc[] = {
    {3017, 0}, {3018, 0}, {3019, 0}, {3020, 0}, {3021, 0},
    {3022, 0}, {3023, 0}, {3024, 0}, {3025, 0}, {3026, 0},
};
constexpr std::array<int32_t, 19> kSpectrumBound = [] {
  std::array<int32_t, 19> a{};
  for (int i = 0; i < 19; ++i) a[i] = 20 + 10 * i;
  return a;
}();
constexpr int32_t kOpacity[] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5};

constexpr COLORREF Hex(uint32_t rgb) {
  return RGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
}

constexpr NamedColor kTheme[] = {
    {Hex(0xFFFFFF), 3050}, {Hex(0x000000), 3051}, {Hex(0xEEECE1), 3052}, {Hex(0x1F497D), 3053},
    {Hex(0x4F81BD), 3054}, {Hex(0xC0504D), 3055}, {Hex(0x9BBB59), 3056}, {Hex(0x8064A2), 3057},
    {Hex(0x4BACC6), 3058}, {Hex(0xF59646), 3059},
};

constexpr uint32_t kShadeRgb[50] = {
    0xF2F2F2, 0x7F7F7F, 0xD6D4CA, 0xD2DAE5, 0xD9E4F0, 0xF4DBDA, 0xEAF1DD, 0xE5DFEB, 0xD8EDF2, 0xFFEADA,
    0xD7D7D7, 0x595959, 0xB1B0A7, 0xA1B4C9, 0xB3CAE2, 0xE9B8B6, 0xD5E2BC, 0xCBBFD7, 0xB0DCE7, 0xFFD4B5,
    0xBEBEBE, 0x414141, 0x767570, 0x738FAF, 0x8FB1D5, 0xDE9593, 0xC0D59B, 0xB1A0C5, 0x89CBDA, 0xFFBF91,
    0xA3A3A3, 0x2A2A2A, 0x3D3D3B, 0x14395C, 0x36608B, 0x953F3C, 0x728B47, 0x614C77, 0x298092, 0xBE703B,
    0x7E7E7E, 0x141414, 0x1D1D1C, 0x112840, 0x26425E, 0x642C2B, 0x4D5D31, 0x433551, 0x1F5663, 0x7E4D2A,
};
constexpr std::array<NamedColor, 50> kShades = [] {
  std::array<NamedColor, 50> a{};
  for (int i = 0; i < 50; ++i) a[i] = {Hex(kShadeRgb[i]), static_cast<uint32_t>(3070 + i)};
  return a;
}();

constexpr NamedColor kStandard[] = {
    {Hex(0xC80F12), 3060}, {Hex(0xFF1418), 3061}, {Hex(0xFFBF28), 3062}, {Hex(0xFFFF31), 3063},
    {Hex(0x8ACF57), 3064}, {Hex(0x00AF54), 3065}, {Hex(0x00AEEE), 3066}, {Hex(0x006FBD), 3067},
    {Hex(0x00245F), 3068}, {Hex(0x72329D), 3069},
};

template <typename T>
int IndexOfData(std::span<const T> items, int32_t value, auto data) {
  for (size_t i = 0; i < items.size(); ++i)
    if (data(items[i]) == value) return static_cast<int>(i);
  return -1;
}

}  // namespace

std::span<const Category> Categories() { return kCategories; }

const Element* FindElement(uint32_t id) {
  if (id == 0) return nullptr;
  for (const Category& c : kCategories)
    for (const Panel& p : c.panels)
      for (const Element& e : p.elements)
        if (e.id == id) return &e;
  return nullptr;
}

std::span<const ComboItem> WaveScaleItems() { return kWaveScale; }
std::span<const ComboItem> WindowFuncItems() { return kWindowFunc; }
std::span<const int32_t> SpectrumBoundValues() { return kSpectrumBound; }
std::span<const int32_t> OpacityValues() { return kOpacity; }

int WaveScaleIndex(int32_t value) {
  return std::max(0, IndexOfData(WaveScaleItems(), value, [](const ComboItem& i) { return i.data; }));
}
int SpectrumBoundIndex(int32_t value) {
  return std::max(0, IndexOfData(SpectrumBoundValues(), value, [](int32_t v) { return v; }));
}
int WindowFuncIndex(int32_t value) {
  return (value >= 0 && value < static_cast<int32_t>(std::size(kWindowFunc))) ? value : -1;
}
int OpacityIndex(int32_t value) { return IndexOfData(OpacityValues(), value, [](int32_t v) { return v; }); }

std::span<const NamedColor> ThemeColors() { return kTheme; }
std::span<const NamedColor> ThemeShades() { return kShades; }
std::span<const NamedColor> StandardColors() { return kStandard; }

}  // namespace kx::ribbon
