// The UI tests' QApplication and a private settings location.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

namespace kx::test {

// Waits for a condition while Qt runs; false if it did not come within the
// bound (a guard against hanging, far above any expected time).
template <typename F>
bool WaitFor(F done, std::chrono::milliseconds bound = std::chrono::seconds(60)) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > bound.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Writes `bytes` to `path`, making its folder; FileBytes reads a file (empty when there is none).
inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
inline QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// `size` bytes of noise, the same in every run.
inline QByteArray Noise(int size) {
  QByteArray noise(size, '\0');
  QRandomGenerator rng(437);
  for (char& c : noise) c = static_cast<char>(rng.bounded(256));
  return noise;
}

// The test program's QApplication, made before the first test and deleted
// after the last. The platform: "offscreen", "xcb" for the X server of the
// test peers (the test is skipped without one), "xcb-200" for it at 200 %;
// none takes the X server when DISPLAY is set. HOME and the XDG folders point
// into a temporary folder first, so no test ever touches a real profile.
class UiEnvironment : public ::testing::Environment {
 public:
  explicit UiEnvironment(const char* platform) : platform_(platform ? platform : "") {}
  explicit UiEnvironment(QByteArray platform) : platform_(std::move(platform)) {}
  // The platform named by the environment variable `variable` ("offscreen" when unset).
  static QByteArray PlatformFrom(const char* variable) {
    const QByteArray platform = qgetenv(variable);
    return platform.isEmpty() ? QByteArray("offscreen") : platform;
  }
  void SetUp() override {
    QByteArray platform = platform_;
    if (platform.endsWith("-200")) {
      platform.chop(4);
      qputenv("QT_SCALE_FACTOR", "2");
    }
    if (platform.isEmpty()) platform = qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb";
    if (platform == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (qgetenv("KX_REQUIRE_PEERS") == "1") FAIL() << "DISPLAY of the X server peer is missing";
      GTEST_SKIP() << "no X server (run under tests/peers/with-peers)";
    }
    ASSERT_TRUE(home_.isValid());
    qputenv("HOME", home_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home_.path() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home_.path() + "/.local/share").toUtf8());
    qputenv("QT_QPA_PLATFORM", platform);
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }
  static QString Home() { return qEnvironmentVariable("HOME"); }
  QApplication* App() const { return app_.get(); }

 private:
  QByteArray platform_;
  QTemporaryDir home_;
  int argc_ = 1;
  char name_[16] = "kxUiTest";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// A fresh settings location for one test: the user's file and the
// machine-wide file both live in a temporary folder while it exists.
class SettingsSandbox {
 public:
  SettingsSandbox() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/user");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, dir_.path() + "/system");
  }
  ~SettingsSandbox() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("XDG_CONFIG_HOME"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, dir_.path() + "/gone");
  }
  QString UserFile() const { return dir_.path() + "/user/KEXAR/kxToneScope.conf"; }
  QString MachineFile() const { return dir_.path() + "/system/KEXAR/kxCore.conf"; }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

}  // namespace kx::test
