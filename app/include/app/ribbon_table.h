// The ribbon as data: categories, panels and elements with their command
// ids, texts, images, combo contents, palettes and the three colour lists.
// The main frame builds the ribbon and its commands from these tables only.
#pragma once

#include <cstdint>
#include <span>

#include "common/settings_block.h"

namespace kx::ribbon {

// Command ids.
enum : uint32_t {
  ID_RIBBON_BAR = 0xE806,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_PREVIEW_START = 33000,
  ID_PREVIEW_STOP = 33001,
  ID_PREVIEW_INFO = 33002,
  ID_SHOW_ALL = 33003,
  ID_SHOW_AUDIO = 33004,
  ID_SHOW_VIDEO = 33005,
  ID_OPACITY = 33006,
  ID_COLOR_AXIS = 33007,
  ID_COLOR_BKG = 33008,
  ID_COLOR_WAVE = 33009,
  ID_COLOR_SPECTRUM = 33010,
  ID_COLOR_PEAK_MIN = 33011,
  ID_COLOR_PEAK_MID = 33012,
  ID_COLOR_PEAK_MAX = 33013,
  ID_WAVE_LOG = 33014,
  ID_WAVE_LINE = 33015,
  ID_SPECTRUM_LINES = 33016,
  ID_SPECTRUM_BARS = 33017,
  ID_VOLUME = 33018,
  ID_DEVICE = 33019,
  ID_AUDIO_PREVIEW = 33020,
  ID_WAVE_SCALE = 33021,
  ID_WINDOW_FUNC = 33022,
  ID_SPECTRUM_BOUND = 33023,
  ID_VIEW_REAL_TIME = 33024,
  ID_VIEW_MIDDLE = 33025,
  ID_VIEW_MIN = 33026,
  ID_VIEW_MAX = 33027,
  ID_OPACITY_SPECTRUM = 33029,
  ID_NEW_CAMERA = 33030,
  ID_ADD_BOOKMARK = 33031,
  ID_EDIT_BOOKMARK = 33032,
  ID_MEASURE_PANEL = 33040,
  ID_MEASURE_RESET = 33041,
  ID_SAVE_PICTURE = 33042,
  ID_SAVE_SOUND = 33043,
  ID_OPEN_DATA_FOLDER = 33044,  // the backstage's entry
  ID_RECONNECT_ONCE = 33045,
  ID_RECONNECT_KEEP_TRYING = 33046,
  ID_CAMERA_INFO_BAR = 33133,
};

// The offset from a command's tooltip string (its own id) to its description.
inline constexpr uint32_t kDescriptionOffset = 100;

enum class Kind { Button, ColorButton, Palette, ComboBox, Slider, CheckBox, Label };

// A command that sets one integer setting to a constant (the layout, mode
// and view buttons); checked when the setting equals the value, or for the
// spectrum views when the value's bit is set.
struct Choice {
  Setting<int32_t> CSettingsBlock::*setting = nullptr;
  int32_t value = 0;
  bool checkBit = false;
};

// A colour button's setting.
struct ColorSetting {
  Setting<COLORREF> CSettingsBlock::*setting = nullptr;
};

// One item of a combo box: its text (a resource string, or the format with
// the value) and its data.
struct ComboItem {
  uint32_t textId;
  int32_t data;
};

enum class ComboContent { None, Devices, WaveScale, WindowFunc, SpectrumBound };

struct Element {
  Kind kind;
  uint32_t id = 0;          // command id (0 for labels)
  uint32_t textId = 0;      // text, and tooltip for buttons (0: none)
  uint32_t tooltipId = 0;   // 0: none
  uint32_t descriptionId = 0;
  int image = -1;           // large image index in the ribbon image strip (-1 none)
  int width = 0;            // combo box and slider width at 100 % scale
  ComboContent combo = ComboContent::None;
  Choice choice{};
  ColorSetting color{};
  Setting<int32_t> CSettingsBlock::*paletteSetting = nullptr;  // palettes
  Setting<int32_t> CSettingsBlock::*toggle = nullptr;  // a check button that turns this setting on (1) and off (0)
  const char* shortcut = nullptr;  // QKeySequence text, "" none
};

struct Panel {
  uint32_t nameId;
  std::span<const Element> elements;
};

struct Category {
  uint32_t nameId;
  std::span<const Panel> panels;
};

// Main button, main category, backstage.
inline constexpr uint32_t IDS_MAIN = 3320;
inline constexpr uint32_t IDS_MAIN_DESCRIPTION = 3321;
inline constexpr uint32_t IDS_OPTIONS = 3322;
inline constexpr uint32_t IDS_EXIT = 3323;
inline constexpr uint32_t IDS_ABOUT_ENTRY = 5412;  // "&About": the about box from the backstage
inline constexpr uint32_t IDS_OPEN_DATA_FOLDER = 5417;  // "Open data &folder"
inline constexpr uint32_t IDS_THEME_COLORS = 3012;
inline constexpr uint32_t IDS_STANDARD_COLORS = 3013;
inline constexpr int kMainButtonSize = 45;
inline constexpr int kColorBoxSize = 18;
inline constexpr int kPaletteImageWidth = 32;

std::span<const Category> Categories();

// Finds an element by command id (null when none).
const Element* FindElement(uint32_t id);

// The combo boxes' fixed contents.
std::span<const ComboItem> WaveScaleItems();     // strings 3027-3035
std::span<const ComboItem> WindowFuncItems();    // strings 3017-3026, data 0
std::span<const int32_t> SpectrumBoundValues();  // 20, 30, ... 200, shown as "-%d"
// The position a combo shows for `value`: the item whose data equals it,
// else the first (wave scale, spectrum bound); the position itself for the
// window function (-1 when out of range).
int WaveScaleIndex(int32_t value);
int SpectrumBoundIndex(int32_t value);
int WindowFuncIndex(int32_t value);

// The opacity palettes: 11 items with user data 100, 90, ... 10, 5.
std::span<const int32_t> OpacityValues();
// The palette item for a stored value; -1 (no selection) when not listed.
int OpacityIndex(int32_t value);

// The colour lists shared by every colour button: each colour with the
// resource string of its name.
struct NamedColor {
  COLORREF color;
  uint32_t nameId;
};
std::span<const NamedColor> ThemeColors();     // 10, strings 3050-3059
std::span<const NamedColor> ThemeShades();     // 50, strings 3070-3119, row order
std::span<const NamedColor> StandardColors();  // 10, strings 3060-3069
inline constexpr int kColorColumns = 10;

}  // namespace kx::ribbon
