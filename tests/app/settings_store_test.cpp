// The settings store over real settings files: a fresh profile, stored
// values, values outside the ribbon's lists, and one write per change.
#include <QCoreApplication>
#include <QStandardPaths>

#include "ui_test_support.h"
#include "app/settings_store.h"
#include "ui/registry_manager.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

struct Loaded {
  CSettingsBlock block;
  float volume = -1;
  QString folder = "unset";
  CSettingsStore store{block, volume, folder};
};

TEST(SettingsStore, FreshProfileGivesEveryDefault) {
  test::SettingsSandbox sandbox;
  QCoreApplication::setOrganizationName("KEXAR");
  QCoreApplication::setApplicationName("kxToneScope");
  Loaded s;
  // Whatever the block held before, loading replaces it (colours are preset, not kept).
  for (auto* c : {&s.block.ColorAxis, &s.block.ColorBkg, &s.block.ColorWave, &s.block.ColorPeakMax}) *c = 0x010203;
  s.block.WaveScale = 7;
  s.block.OutputID = 5;
  s.store.Load();
  const CSettingsBlock& b = s.block;
  // SpectrumView, ModeWave, ModeSpectrum, SpectrumBound, ShowWidgets, Opacity, OpacitySpectrum,
  // OpenTimeout, Preview, OutputID, WaveScale, WindowFunc, Reconnect ("Once").
  EXPECT_EQ((std::vector<int32_t>{b.SpectrumView.Get(), b.ModeWave.Get(), b.ModeSpectrum.Get(), b.SpectrumBound.Get(),
                                  b.ShowWidgets.Get(), b.Opacity.Get(), b.OpacitySpectrum.Get(), b.OpenTimeout.Get(),
                                  b.Preview.Get(), b.OutputID.Get(), b.WaveScale.Get(), b.WindowFunc.Get(),
                                  b.Reconnect.Get()}),
            (std::vector<int32_t>{1, 1, 0, 80, 0, 50, 50, 4000, 1, 0, 480, 4, 0}));
  EXPECT_EQ((std::vector<COLORREF>{b.ColorAxis.Get(), b.ColorBkg.Get(), b.ColorWave.Get(), b.ColorSpectrum.Get(),
                                   b.ColorPeakMin.Get(), b.ColorPeakMid.Get(), b.ColorPeakMax.Get()}),
            (std::vector<COLORREF>{0x808080, 0x363636, 0xEDDAC3, 0xEDDAC3, 0xEDDAC3, 0x00FFFF, 0x0000FF}));
  EXPECT_EQ(s.volume, 0.5f);
  // The user's data location, not a Windows drive.
  EXPECT_EQ(s.folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
  EXPECT_TRUE(s.folder.startsWith(test::UiEnvironment::Home())) << s.folder.toStdString();
  EXPECT_TRUE(s.folder.endsWith("KEXAR/kxToneScope")) << s.folder.toStdString();
}

TEST(SettingsStore, EachSetterWritesAtOnceAndLoadsBack) {
  test::SettingsSandbox sandbox;
  {
    Loaded s;
    s.store.Load();
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::WaveScale, 120));
    EXPECT_EQ(s.block.WaveScale, 120);
    // Written at once: a second reader sees it before anything else happens.
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "WaveScale", 0), 120);
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::ShowWidgets, 2));
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::ShowWidgets, 2));  // the same value twice: no harm
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::SpectrumView, 8));
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::OutputID, 3));
    EXPECT_TRUE(s.store.SetInt(&CSettingsBlock::Reconnect, 1));
    EXPECT_TRUE(s.store.SetColor(&CSettingsBlock::ColorPeakMid, 0x123456));
    EXPECT_TRUE(s.store.TogglePreview());
    EXPECT_EQ(s.block.Preview, 0);
    EXPECT_TRUE(s.store.SetVolume(735 / 1000.0f));  // the slider at 735
    EXPECT_EQ(s.volume, 0.735f);
  }
  Loaded again;
  again.store.Load();
  EXPECT_EQ(again.block.WaveScale, 120);
  EXPECT_EQ(again.block.ShowWidgets, 2);
  EXPECT_EQ(again.block.SpectrumView, 8);
  EXPECT_EQ(again.block.OutputID, 3);
  EXPECT_EQ(again.block.Reconnect, 1);
  EXPECT_EQ(again.block.ColorPeakMid, 0x123456u);
  EXPECT_EQ(again.block.Preview, 0);
  EXPECT_EQ(again.volume, 0.735f);
  EXPECT_EQ(again.block.ModeWave, 1);  // untouched values keep their defaults
  EXPECT_TRUE(again.store.TogglePreview());
  EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "Preview", 0), 1);
}

// Every slider position: the stored text is the position's own decimal
// (whoever writes the volume goes through SetVolume), and the next start puts
// the slider back where it was.
TEST(SettingsStore, VolumeIsStoredAsTheSliderSetItAndComesBackToTheSamePosition) {
  test::SettingsSandbox sandbox;
  Loaded s;
  s.store.Load();
  for (int pos = 0; pos <= 1000; ++pos) {
    ASSERT_TRUE(s.store.SetVolume(CSettingsStore::VolumeFromSliderPos(pos)));
    ASSERT_EQ(CRegistryManager().GetProfileStringW(kSettingsSection, "VolumeOutput", {}),
              CRegistryManager::DoubleToText(pos / 1000.0))
        << pos;
    Loaded next;
    next.store.LoadColorsAndOutput();
    ASSERT_EQ(CSettingsStore::SliderPosFromVolume(next.volume), pos) << "stored " << next.volume;
    ASSERT_EQ(next.volume, s.volume) << pos;
  }
  EXPECT_EQ(CRegistryManager().GetProfileStringW(kSettingsSection, "VolumeOutput", {}), "1");
  EXPECT_TRUE(s.store.SetVolume(0.735f));
  EXPECT_EQ(CRegistryManager().GetProfileStringW(kSettingsSection, "VolumeOutput", {}), "0.735");
  // A volume from the mixer (37 % is 24248/65536) shows as the nearest position.
  EXPECT_EQ(CSettingsStore::SliderPosFromVolume(24248.0f / 65536.0f), 370);
}

TEST(SettingsStore, StoredValuesAreTakenAsTheyAreTheMachineFolderApart) {
  test::SettingsSandbox sandbox;
  CRegistryManager reg;
  // Values outside every list, even absurd ones: no range check at load.
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "WaveScale", 7));
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "Opacity", 33));
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "SpectrumBound", -5));
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "OpenTimeout", INT32_MAX));
  ASSERT_TRUE(reg.WriteProfileStringW(kSettingsSection, "WindowFunc", "Blackman"));
  ASSERT_TRUE(reg.WriteProfileStringW(kSettingsSection, "FolderLog", "/srv/kx log"));
  ASSERT_TRUE(reg.WriteProfileDouble(kSettingsSection, "VolumeOutput", 7.25));
  Loaded s;
  s.store.Load();
  EXPECT_EQ(s.block.WaveScale, 7);
  EXPECT_EQ(s.block.Opacity, 33);
  EXPECT_EQ(s.block.SpectrumBound, -5);
  EXPECT_EQ(s.block.OpenTimeout, INT32_MAX);
  EXPECT_EQ(s.block.WindowFunc, 4);  // not a number: the default
  EXPECT_EQ(s.folder, "/srv/kx log");
  EXPECT_EQ(s.volume, 7.25f);
  // The machine-wide folder is its own value: a start reads the user's.
  EXPECT_EQ(CSettingsStore::ReadMachineFolderLog(), "");
  EXPECT_TRUE(CSettingsStore::WriteMachineFolderLog("/var/lib/kxlog"));
  EXPECT_EQ(CSettingsStore::ReadMachineFolderLog(), "/var/lib/kxlog");
  Loaded next;
  next.store.Load();
  EXPECT_EQ(next.folder, "/srv/kx log");
}

}  // namespace
}  // namespace kx
