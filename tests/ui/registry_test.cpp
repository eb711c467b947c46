// The registry manager against real settings files: the user's file under
// XDG_CONFIG_HOME and the machine-wide file, fresh, round-tripped, and
// hand-edited into garbage.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <cfloat>
#include <climits>
#include <cmath>

#include "ui/registry_manager.h"
#include "ui_test_support.h"

namespace kx {
namespace {

auto* const kUi = ::testing::AddGlobalTestEnvironment(new test::UiEnvironment("offscreen"));

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// Missing values give the default and leave the variable alone, creating
// nothing; written values read back equal.
TEST(RegistryManager, MissingValuesGiveDefaultsWrittenOnesReadBackEqual) {
  test::SettingsSandbox sandbox;
  COLORREF color = 0xEDDAC3;
  EXPECT_FALSE(CRegistryManager().GetProfileColor(kSettingsSection, "ColorWave", &color));
  EXPECT_EQ(color, 0xEDDAC3u);
  double volume = 0.5;
  EXPECT_FALSE(CRegistryManager().GetProfileDouble(kSettingsSection, "VolumeOutput", &volume));
  EXPECT_EQ(volume, 0.5);
  EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "WaveScale", -7), -7);
  EXPECT_FALSE(QFile::exists(sandbox.UserFile()));
  CRegistryManager writer;
  for (int32_t v : {0, 1, -1, 437, -80, INT32_MAX, INT32_MIN}) {
    ASSERT_TRUE(writer.WriteProfileInt(kSettingsSection, "Opacity", v));
    EXPECT_EQ(CRegistryManager().GetProfileIntW(kSettingsSection, "Opacity", 50), v);
  }
  for (const QString& s : {QString("/home/user/KX Log"), QString::fromUtf8("/данные/журнал"), QString("a, b, c"),
                           QString("\"quoted\" = ; # [x]"), QString("  spaced  "), QString("C:\\KXLog\\"),
                           QString("line\nbreak"), QString()}) {
    ASSERT_TRUE(writer.WriteProfileStringW(kSettingsSection, "FolderLog", s));
    EXPECT_EQ(CRegistryManager().GetProfileStringW(kSettingsSection, "FolderLog", "default"), s) << s.toStdString();
  }
  for (COLORREF c : {0x000000u, 0xFFFFFFu, 0xEDDAC3u, 0x00FFFFu, 0x0000FFu, 0x123456u}) {
    ASSERT_TRUE(writer.WriteProfileColor(kSettingsSection, "ColorAxis", c));
    COLORREF back = 0xABCDEF;
    EXPECT_TRUE(CRegistryManager().GetProfileColor(kSettingsSection, "ColorAxis", &back));
    EXPECT_EQ(back, c);
  }
  // Red in the low byte: 0x0000FF is red, stored as #FF0000.
  EXPECT_EQ(CRegistryManager::ColorToText(0x0000FF), "#FF0000");
  EXPECT_TRUE(ReadFile(sandbox.UserFile()).contains("ColorAxis=#563412"));

  for (double d : {0.735, 1.0 / 3.0, 0.1, -0.0, 1e-300, DBL_MIN, DBL_MAX, 5e-324, 123456789.123456789}) {
    ASSERT_TRUE(writer.WriteProfileDouble(kSettingsSection, "VolumeOutput", d));
    double back = 42;
    EXPECT_TRUE(CRegistryManager().GetProfileDouble(kSettingsSection, "VolumeOutput", &back));
    EXPECT_EQ(back, d) << CRegistryManager::DoubleToText(d).toStdString();
    EXPECT_EQ(std::signbit(back), std::signbit(d));
  }
  EXPECT_EQ(CRegistryManager::DoubleToText(0.735), "0.735");
}

// A file a person edited by hand: values of the wrong kind read as missing,
// good values still read, and a later write keeps every other line.
TEST(RegistryManager, HandEditedGarbageGivesDefaultsAndLosesNothing) {
  test::SettingsSandbox sandbox;
  WriteFile(sandbox.UserFile(),
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
            "ColorPeakMin=#0a0B0c\n"
            "VolumeOutput=nan\n"
            "FolderLog=/data/a, /data/b\n"
            "Unknown=kept\n"
            "[Other]\n"
            "Foreign=value\n");
  const CRegistryManager reg;
  // Each read with the default 77: a number only where the text is one.
  const std::pair<const char*, int32_t> ints[] = {{"ModeWave", 77}, {"Opacity", 77}, {"WaveScale", 77},
                                                  {"SpectrumBound", -40}, {"WindowFunc", 77}, {"OpenTimeout", 77},
                                                  {"Preview", 77}, {"OutputID", 3}};
  for (const auto& [name, value] : ints) EXPECT_EQ(reg.GetProfileIntW(kSettingsSection, name, 77), value) << name;
  for (const char* name : {"ColorAxis", "ColorBkg", "ColorWave", "ColorSpectrum"}) {
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

// Files that are no settings file at all: random bytes, a truncated binary,
// a folder where the file should be.
TEST(RegistryManager, NonIniFilesGiveDefaultsAndAreKeptAside) {
  QByteArray noise(4099, '\0');
  QRandomGenerator rng(437);
  for (char& ch : noise) ch = static_cast<char>(rng.bounded(256));
  for (const QByteArray& content : {noise, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), noise.left(3), QByteArray()}) {
    test::SettingsSandbox sandbox;
    // Random bytes alone, or after a good line.
    const QByteArray file = content.isEmpty() ? noise : QByteArray("[Settings]\nWaveScale=120\n") + content;
    WriteFile(sandbox.UserFile(), file);
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
    EXPECT_EQ(QFile::exists(aside) ? ReadFile(aside) : file, file);
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

// The user's file under XDG_CONFIG_HOME (no sandbox: the real location the
// program uses); the machine-wide store is a file of its own.
TEST(RegistryManager, UsersAndMachineWideFilesInTheirPlaces) {
  const QString user = qEnvironmentVariable("XDG_CONFIG_HOME") + "/KEXAR/kxToneScope.conf";
  ASSERT_EQ(CRegistryManager().FileName(), user);
  ASSERT_TRUE(CRegistryManager().WriteProfileInt(kSettingsSection, "ModeWave", 0));
  EXPECT_TRUE(ReadFile(user).contains("[Settings]\nModeWave=0")) << ReadFile(user).constData();
  EXPECT_TRUE(QFile::remove(user));
  test::SettingsSandbox sandbox;
  CRegistryManager machine(CRegistryManager::Scope::Machine);
  EXPECT_EQ(machine.FileName(), sandbox.MachineFile());
  ASSERT_TRUE(machine.WriteProfileStringW(kDevicesSection, "FolderLog", "/srv/kxlog"));
  EXPECT_EQ(CRegistryManager(CRegistryManager::Scope::Machine).GetProfileStringW(kDevicesSection, "FolderLog", {}),
            "/srv/kxlog");
  // The user's store does not see it.
  EXPECT_EQ(CRegistryManager().GetProfileStringW(kDevicesSection, "FolderLog", "none"), "none");
  EXPECT_TRUE(ReadFile(sandbox.MachineFile()).contains("[Devices]"));
}

TEST(RegistryManager, TextForms) {
  COLORREF c = 7;
  EXPECT_TRUE(CRegistryManager::ColorFromText(" #ff8000 ", &c));
  EXPECT_EQ(c, 0x0080FFu);
  for (const char* bad : {"", "#", "#12345", "#1234567", "123456", "#12 456", "#+12345", "#0x1234", "#FFFFFG"}) {
    COLORREF keep = 7;
    EXPECT_FALSE(CRegistryManager::ColorFromText(bad, &keep)) << bad;
    EXPECT_EQ(keep, 7u) << bad;
  }
  double d = 9;
  for (const char* bad : {"", "nan", "inf", "-inf", "1e999", "0,5", "0.5x", "--1"}) {
    EXPECT_FALSE(CRegistryManager::DoubleFromText(bad, &d)) << bad;
    EXPECT_EQ(d, 9) << bad;
  }
  EXPECT_TRUE(CRegistryManager::DoubleFromText("1e-3", &d));
  EXPECT_EQ(d, 0.001);
}

}  // namespace
}  // namespace kx
