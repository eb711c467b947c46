// The registry manager on real files (the user's and the machine's): fresh, round-tripped, hand-edited.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <cfloat>
#include <climits>
#include <cmath>

#include "ui/registry_manager.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

using test::FileBytes;
using test::WriteBytes;

// Missing values give the default and leave the variable alone, creating nothing; written values read back
// equal (colours with red in the low byte, doubles to the last bit).
TEST(RegistryManager, MissingValuesGiveDefaultsWrittenOnesReadBackEqual) {
  test::SettingsSandbox sandbox;
  COLORREF color = 0xEDDAC3;
  double volume = 0.5;
  EXPECT_FALSE(CRegistryManager().GetProfileColor(kSettingsSection, "ColorWave", &color));
  EXPECT_FALSE(CRegistryManager().GetProfileDouble(kSettingsSection, "VolumeOutput", &volume));
  EXPECT_EQ(std::make_tuple(color, volume), std::make_tuple(0xEDDAC3u, 0.5));
  EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "WaveScale", -7), -7);
  EXPECT_FALSE(QFile::exists(sandbox.UserFile()));
  CRegistryManager writer;
  for (int32_t v : {-1, 437, INT32_MAX, INT32_MIN}) {
    ASSERT_TRUE(writer.WriteProfileInt(kSettingsSection, "Opacity", v));
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "Opacity", 50), v);
  }
  for (const QString& s : {QString::fromUtf8("/данные/журнал"), QString("a, b, c"),
                           QString("\"quoted\" = ; # [x]"), QString("  spaced  "), QString("C:\\KXLog\\"),
                           QString("line\nbreak"), QString()}) {
    ASSERT_TRUE(writer.WriteProfileStringW(kSettingsSection, "FolderLog", s));
    EXPECT_EQ(CRegistryManager().GetProfileStringW(kSettingsSection, "FolderLog", "default"), s) << s.toStdString();
  }
  for (COLORREF c : {0xFFFFFFu, 0x123456u}) {
    ASSERT_TRUE(writer.WriteProfileColor(kSettingsSection, "ColorAxis", c));
    EXPECT_TRUE(CRegistryManager().GetProfileColor(kSettingsSection, "ColorAxis", &color));
    EXPECT_EQ(color, c);
  }
  EXPECT_TRUE(FileBytes(sandbox.UserFile()).contains("ColorAxis=#563412"));
  for (double d : {0.735, 1.0 / 3.0, -0.0, DBL_MAX, 5e-324}) {
    ASSERT_TRUE(writer.WriteProfileDouble(kSettingsSection, "VolumeOutput", d));
    EXPECT_TRUE(CRegistryManager().GetProfileDouble(kSettingsSection, "VolumeOutput", &volume));
    EXPECT_EQ(volume, d);
    EXPECT_EQ(std::signbit(volume), std::signbit(d));
  }
  EXPECT_EQ(CRegistryManager::DoubleToText(0.735), "0.735");
}

// Hand-edited: values of the wrong kind read as missing, good ones still read, a write keeps every other line.
TEST(RegistryManager, HandEditedGarbageGivesDefaultsAndLosesNothing) {
  test::SettingsSandbox sandbox;
  ASSERT_TRUE(WriteBytes(sandbox.UserFile(),
            "[Settings]\n"
            "ModeWave=abc\n"
            "Opacity=12abc\n"
            "WaveScale=99999999999\n"
            "SpectrumBound=-40\n"
            "WindowFunc=0x7\n"
            "OpenTimeout=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\aQWidget\\0)\n"
            "Preview=1, 2\n"
            "OutputID= 3 \n"
            "ColorAxis=#12345\n"
            "ColorBkg=red\n"
            "ColorWave=#GG0000\n"
            "ColorSpectrum=#-12345\n"
            "ColorPeakMin= #0a0B0c \n"
            "ColorPeakMid=#0x1234\n"
            "ColorPeakMax=#1234567\n"
            "VolumeOutput=nan\n"
            "FolderLog=/data/a, /data/b\n"
            "Unknown=kept\n"
            "[Other]\n"
            "Foreign=value\n"));
  const CRegistryManager reg;
  // Each read with the default 77: a number only where the text is one.
  const std::pair<const char*, int32_t> ints[] = {{"ModeWave", 77}, {"Opacity", 77}, {"WaveScale", 77},
                                                  {"SpectrumBound", -40}, {"WindowFunc", 77}, {"OpenTimeout", 77},
                                                  {"Preview", 77}, {"OutputID", 3}};
  for (const auto& [name, value] : ints) EXPECT_EQ(reg.GetProfileIntW(kSettingsSection, name, 77), value) << name;
  for (const char* name : {"ColorAxis", "ColorBkg", "ColorWave", "ColorSpectrum", "ColorPeakMid", "ColorPeakMax"}) {
    COLORREF c = 0x808080;
    EXPECT_FALSE(reg.GetProfileColor(kSettingsSection, name, &c) || c != 0x808080u) << name;
  }
  COLORREF c = 0;
  EXPECT_TRUE(reg.GetProfileColor(kSettingsSection, "ColorPeakMin", &c));
  EXPECT_EQ(c, 0x0C0B0Au);
  double volume = 0.5;
  EXPECT_FALSE(reg.GetProfileDouble(kSettingsSection, "VolumeOutput", &volume));
  EXPECT_EQ(volume, 0.5);
  EXPECT_EQ(reg.GetProfileStringW(kSettingsSection, "FolderLog", "x"), "/data/a, /data/b");

  CRegistryManager writer;
  ASSERT_TRUE(writer.WriteProfileInt(kSettingsSection, "ModeWave", 0));
  EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "ModeWave", 1), 0);
  QSettings raw(sandbox.UserFile(), QSettings::IniFormat);
  EXPECT_EQ(raw.value("Settings/Unknown").toString(), "kept");
  EXPECT_EQ(raw.value("Other/Foreign").toString(), "value");
  EXPECT_EQ(raw.value("Settings/SpectrumBound").toString(), "-40");
  EXPECT_EQ(raw.value("Settings/Opacity").toString(), "12abc");  // the user's text stays until replaced
}

// Files that are no settings file at all: random bytes, a truncated binary, a folder in the file's place.
TEST(RegistryManager, NonIniFilesGiveDefaultsAndAreKeptAside) {
  const QByteArray noise = test::Noise(4099);
  for (const QByteArray& content : {noise, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), noise.left(3), QByteArray()}) {
    test::SettingsSandbox sandbox;
    // Random bytes alone, or after a good line.
    const QByteArray file = content.isEmpty() ? noise : QByteArray("[Settings]\nWaveScale=120\n") + content;
    ASSERT_TRUE(WriteBytes(sandbox.UserFile(), file));
    const CRegistryManager reg;
    EXPECT_EQ(reg.GetProfileIntW(kSettingsSection, "SpectrumBound", 80), 80);
    COLORREF color = 0x363636;
    reg.GetProfileColor(kSettingsSection, "ColorBkg", &color);
    EXPECT_EQ(color, 0x363636u);
    // What could be read is still read, and writing works again.
    const int scale = content.isEmpty() ? 480 : 120;
    EXPECT_EQ(reg.GetProfileIntW(kSettingsSection, "WaveScale", 480), scale);
    CRegistryManager writer;
    EXPECT_TRUE(writer.WriteProfileInt(kSettingsSection, "SpectrumBound", 90));
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "SpectrumBound", 80), 90);
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "WaveScale", 480), scale);
    // When the file did not parse, the original is kept beside it, byte for byte.
    const QString aside = sandbox.UserFile() + ".unreadable";
    EXPECT_TRUE(content.isEmpty() ? QFile::exists(aside) : true);
    EXPECT_EQ(QFile::exists(aside) ? FileBytes(aside) : file, file);
  }
  {
    test::SettingsSandbox sandbox;
    ASSERT_TRUE(QDir().mkpath(sandbox.UserFile()));  // a folder in the file's place
    CRegistryManager reg;
    EXPECT_EQ(reg.GetProfileIntW(kSettingsSection, "Opacity", 50), 50);
    EXPECT_FALSE(reg.WriteProfileInt(kSettingsSection, "Opacity", 60));
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "Opacity", 50), 50);
  }
}

// The user's file under XDG_CONFIG_HOME (no sandbox: the real place); the machine-wide store is its own file.
TEST(RegistryManager, UsersAndMachineWideFilesInTheirPlaces) {
  const QString user = qEnvironmentVariable("XDG_CONFIG_HOME") + "/KEXAR/kxToneScope.conf";
  ASSERT_EQ(CRegistryManager().FileName(), user);
  ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "ModeWave", 0));
  EXPECT_TRUE(FileBytes(user).contains("[Settings]\nModeWave=0")) << FileBytes(user).constData();
  EXPECT_TRUE(QFile::remove(user));
  test::SettingsSandbox sandbox;  // the machine's store is read back by the settings store's test
  CRegistryManager machine(CRegistryManager::Scope::Machine);
  ASSERT_TRUE(machine.WriteProfileStringW(kDevicesSection, "FolderLog", "/srv/kxlog"));
  EXPECT_TRUE(FileBytes(sandbox.MachineFile()).contains("[Devices]\nFolderLog=/srv/kxlog"));
}

}  // namespace
}  // namespace kx
