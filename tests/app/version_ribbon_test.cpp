// The version table and the ribbon's data tables.
#include <gtest/gtest.h>

#include <set>

#include "app/ribbon_table.h"
#include "common/version_info.h"
#include "kxSystem.h"

namespace kx {
namespace {

TEST(VersionInfo, TheRunningExecutableCarriesTheTable) {
  const std::u16string self = ModulePath();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(GetProductVersion(self), u"01.00.0040.0000");
  EXPECT_EQ(GetVersionInfoString(self, u"ProductVersion"), u"01.00.0040.0000");
  EXPECT_FALSE(GetFileDescription().empty());
  EXPECT_FALSE(GetLegalCopyright().empty());
  EXPECT_FALSE(GetCompanyName().empty());
  EXPECT_TRUE(GetVersionInfoString(self, u"OriginalFilename").empty());
}

TEST(VersionInfo, OtherOrMissingFilesHaveNone) {
  EXPECT_TRUE(GetVersionInfoString(u"/bin/sh", u"ProductVersion").empty());
  EXPECT_TRUE(GetVersionInfoString(u"/no/such/file", u"ProductVersion").empty());
  EXPECT_TRUE(GetVersionInfoString(u"", u"ProductVersion").empty());
}

TEST(RibbonTable, CommandIdsAreUniqueAndDescriptionsFollowTooltips) {
  std::set<uint32_t> ids;
  int buttons = 0;
  for (const auto& c : ribbon::Categories())
    for (const auto& p : c.panels)
      for (const auto& e : p.elements) {
        if (e.kind == ribbon::Kind::Label) continue;
        EXPECT_TRUE(ids.insert(e.id).second) << e.id;
        if (e.kind == ribbon::Kind::Button || e.kind == ribbon::Kind::ColorButton) {
          ++buttons;
          EXPECT_EQ(e.descriptionId, e.tooltipId + ribbon::kDescriptionOffset) << e.id;
          EXPECT_GE(e.image, 0) << e.id;
        }
      }
  EXPECT_EQ(ids.size(), 38u);  // 33000-33027, 33029-33032, 33040-33043, 33045-33046
  EXPECT_EQ(buttons, 30);
  EXPECT_EQ(ribbon::FindElement(ribbon::ID_DEVICE)->descriptionId, 33119u);
  EXPECT_EQ(ribbon::FindElement(33028), nullptr);
  EXPECT_EQ(ribbon::FindElement(0), nullptr);
}

TEST(RibbonTable, ChoicesCoverEachSettingValueOnce) {
  struct Expect {
    uint32_t id;
    int32_t value;
    bool bit;
  };
  const Expect expect[] = {{33003, 0, false}, {33004, 1, false}, {33005, 2, false}, {33014, 0, false},
                           {33015, 1, false}, {33016, 0, false}, {33017, 1, false}, {33024, 1, true},
                           {33025, 2, true},  {33026, 4, true},  {33027, 8, true}, {33045, 0, false},
                           {33046, 1, false}};
  for (const auto& x : expect) {
    const auto* e = ribbon::FindElement(x.id);
    ASSERT_NE(e, nullptr) << x.id;
    ASSERT_NE(e->choice.setting, nullptr) << x.id;
    EXPECT_EQ(e->choice.value, x.value) << x.id;
    EXPECT_EQ(e->choice.checkBit, x.bit) << x.id;
  }
  EXPECT_EQ(ribbon::FindElement(33003)->choice.setting, &CSettingsBlock::ShowWidgets);
  EXPECT_EQ(ribbon::FindElement(33027)->choice.setting, &CSettingsBlock::SpectrumView);
  EXPECT_EQ(ribbon::FindElement(ribbon::ID_RECONNECT_KEEP_TRYING)->choice.setting, &CSettingsBlock::Reconnect);
  // The measurement panel's button flips its own stored setting; Reset is a plain command.
  EXPECT_EQ(ribbon::FindElement(ribbon::ID_MEASURE_PANEL)->toggle, &CSettingsBlock::MeasurePanel);
  EXPECT_EQ(ribbon::FindElement(ribbon::ID_MEASURE_RESET)->toggle, nullptr);
}

TEST(RibbonTable, ComboPositionsForStoredValues) {
  EXPECT_EQ(ribbon::WaveScaleIndex(480), 0);
  EXPECT_EQ(ribbon::WaveScaleIndex(24), 4);
  EXPECT_EQ(ribbon::WaveScaleIndex(1), 8);
  EXPECT_EQ(ribbon::WaveScaleIndex(7), 0);  // not listed: the first
  EXPECT_EQ(ribbon::SpectrumBoundIndex(20), 0);
  EXPECT_EQ(ribbon::SpectrumBoundIndex(80), 6);
  EXPECT_EQ(ribbon::SpectrumBoundIndex(200), 18);
  EXPECT_EQ(ribbon::SpectrumBoundIndex(85), 0);
  EXPECT_EQ(ribbon::SpectrumBoundValues().size(), 19u);
  EXPECT_EQ(ribbon::WindowFuncIndex(4), 4);
  EXPECT_EQ(ribbon::WindowFuncIndex(9), 9);
  EXPECT_EQ(ribbon::WindowFuncIndex(10), -1);
  EXPECT_EQ(ribbon::WindowFuncIndex(-1), -1);
  EXPECT_EQ(ribbon::OpacityIndex(100), 0);
  EXPECT_EQ(ribbon::OpacityIndex(5), 10);
  EXPECT_EQ(ribbon::OpacityIndex(50), 5);
  EXPECT_EQ(ribbon::OpacityIndex(55), -1);  // not listed: no selection
}

TEST(RibbonTable, ColourListsHoldTheirValuesAndNames) {
  ASSERT_EQ(ribbon::ThemeColors().size(), 10u);
  ASSERT_EQ(ribbon::ThemeShades().size(), 50u);
  ASSERT_EQ(ribbon::StandardColors().size(), 10u);
  EXPECT_EQ(ribbon::ThemeColors()[3].color, RGB(0x1F, 0x49, 0x7D));
  EXPECT_EQ(ribbon::ThemeColors()[3].nameId, 3053u);
  EXPECT_EQ(ribbon::ThemeColors()[9].color, RGB(0xF5, 0x96, 0x46));
  // Row 2, column 4 (Blue, Lighter 60%) and the last cell.
  EXPECT_EQ(ribbon::ThemeShades()[14].color, RGB(0xB3, 0xCA, 0xE2));
  EXPECT_EQ(ribbon::ThemeShades()[14].nameId, 3084u);
  EXPECT_EQ(ribbon::ThemeShades()[49].color, RGB(0x7E, 0x4D, 0x2A));
  EXPECT_EQ(ribbon::ThemeShades()[49].nameId, 3119u);
  // "Black" among the standard colours is a dark blue.
  EXPECT_EQ(ribbon::StandardColors()[8].color, RGB(0x00, 0x24, 0x5F));
  EXPECT_EQ(ribbon::StandardColors()[8].nameId, 3068u);
}

}  // namespace
}  // namespace kx
