// The settings store over real settings files: a fresh profile, stored values, values outside the lists.
#include <QCoreApplication>

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

// A fresh profile keeps the user's data in the user's data location, not on a Windows drive.
TEST(SettingsStore, FreshProfileKeepsTheDataInTheUsersDataLocation) {
  test::SettingsSandbox sandbox;
  QCoreApplication::setOrganizationName("KEXAR");
  QCoreApplication::setApplicationName("kxToneScope");
  Loaded s;
  s.block.WaveScale = 7;
  s.store.Load();
  EXPECT_EQ(s.block.WaveScale, 480) << "loading replaces what the block held";
  EXPECT_EQ(s.folder, test::UiEnvironment::Home() + "/.local/share/KEXAR/kxToneScope");
}

// Every slider position is stored as its own decimal and the next start puts the slider back there.
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
  // A volume from the mixer (37 % is 24248/65536) shows as the nearest position.
  EXPECT_EQ(CSettingsStore::SliderPosFromVolume(24248.0f / 65536.0f), 370);
}

// Values outside every list are taken as they are (the ribbon shows them as none); the machine folder apart.
TEST(SettingsStore, StoredValuesAreTakenAsTheyAreTheMachineFolderApart) {
  test::SettingsSandbox sandbox;
  CRegistryManager reg;
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "WaveScale", 7));
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "Opacity", 33));
  ASSERT_TRUE(reg.WriteProfileInt(kSettingsSection, "OpenTimeout", INT32_MAX));
  ASSERT_TRUE(reg.WriteProfileStringW(kSettingsSection, "WindowFunc", "Blackman"));
  ASSERT_TRUE(reg.WriteProfileStringW(kSettingsSection, "FolderLog", "/srv/kx log"));
  ASSERT_TRUE(reg.WriteProfileDouble(kSettingsSection, "VolumeOutput", 7.25));
  Loaded s;
  s.store.Load();
  // WindowFunc is not a number: the default.
  EXPECT_EQ(std::make_tuple(s.block.WaveScale.Get(), s.block.Opacity.Get(), s.block.OpenTimeout.Get(),
                            s.block.WindowFunc.Get()),
            std::make_tuple(7, 33, INT32_MAX, 4));
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
