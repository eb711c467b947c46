// The program in this test's process with the real peers (X server,
// PulseAudio, camera): one QApplication with a fresh HOME for the whole run,
// and a fixture that starts the application object on the peer camera with a
// fresh settings file for each test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "pulse_support.h"
#include "ui_test_support.h"
#include "app/main_frame.h"
#include "app/wave_app.h"
#include "ui/registry_manager.h"

namespace kx::test {

class ProgramEnvironment : public ::testing::Environment {
 public:
  // `translations`: the build's translations folder, which the program then
  // finds beside its executable; empty for none.
  explicit ProgramEnvironment(QString translations = {}) : translations_(std::move(translations)) {}
  void SetUp() override {
    home_ = std::make_unique<QTemporaryDir>();
    qputenv("HOME", home_->path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home_->path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home_->path() + "/data").toUtf8());
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    if (!translations_.isEmpty())
      QFile::link(translations_, QCoreApplication::applicationDirPath() + "/Translations");
  }
  void TearDown() override {
    app_.reset();
    home_.reset();
  }

 private:
  QString translations_;
  std::unique_ptr<QTemporaryDir> home_;
  int argc_ = 1;
  char name_[24] = "kxToneScopePreview";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

class ProgramTest : public ::testing::Test {
 protected:
  // A derived SetUp calls this first and returns when the test was skipped.
  void SetUp() override {
    camera_ = qEnvironmentVariable("KX_RTSP_CAMERA");
    if (camera_.isEmpty() || PeerServer().empty() || qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (PeersRequired()) FAIL() << "the camera, sound server and X server peers are required";
      GTEST_SKIP() << "needs the test peers (tests/peers/with-peers)";
    }
    QFile::remove(CRegistryManager().FileName());  // a fresh profile each test
  }
  bool Ready() const { return !IsSkipped() && !HasFailure(); }
  void TearDown() override {
    if (app_) {
      if (Main()) Main()->close();
      app_->ExitInstance(0);
      app_.reset();
    }
  }

  // Runs start-up as `kxToneScopePreview /U:<camera><mount>`; returns once
  // InitInstance has (the window may not be shown yet).
  void StartProgram(const char* mount = "/av") {
    const QByteArray arg = "/U:" + (camera_ + mount).toUtf8();
    const char* argv[] = {"kxToneScopePreview", arg.constData()};
    SetProcessArguments(2, argv);
    app_ = std::make_unique<CkxWaveApp>();
    ASSERT_TRUE(app_->InitInstance());
    ASSERT_NE(Main(), nullptr);
  }
  CMainFrame* Main() const { return app_ ? app_->m_pMainFrame.get() : nullptr; }
  static void Store(const char* name, const QString& value) {
    ASSERT_TRUE(CRegistryManager().WriteProfileStringW(kSettingsSection, name, value));
  }

  QString camera_;
  std::unique_ptr<CkxWaveApp> app_;
};

}  // namespace kx::test
