// A Qt application for the view tests, and helpers to feed the view.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <memory>
#include <vector>

#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "media/picture_record.h"
#include "media/preview_session.h"
#include "media/session_adapters.h"
#include "session_test_access.h"

namespace kx::test {

// The test program's QApplication, deleted after the last test (at exit Qt's
// own globals are already gone). A null platform picks the X server of the
// test peers when DISPLAY is set, offscreen otherwise.
class QtEnvironment : public ::testing::Environment {
 public:
  explicit QtEnvironment(const char* platform) : platform_(platform) {}
  void SetUp() override {
    const char* platform = platform_ ? platform_ : (qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    qputenv("QT_QPA_PLATFORM", platform);
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  const char* platform_;
  int argc_ = 1;
  char name_[16] = "kxViewTest";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// A picture record of one colour, as the decoder hands it over (B, G, R, A).
inline PictureRecord SolidPicture(int width, int height, QRgb rgb, int64_t pts = 1) {
  auto pixels = std::make_shared<PicturePixels>(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels->size(); i += 4) {
    (*pixels)[i + 0] = static_cast<uint8_t>(qBlue(rgb));
    (*pixels)[i + 1] = static_cast<uint8_t>(qGreen(rgb));
    (*pixels)[i + 2] = static_cast<uint8_t>(qRed(rgb));
    (*pixels)[i + 3] = 255;
  }
  PictureRecord r;
  r.width = width;
  r.height = height;
  r.pts = pts;
  r.generation = NextPictureGeneration();
  r.pixels = std::move(pixels);
  return r;
}

// The settings and the real audio output a view is made with (no device open).
struct ViewParts {
  CSettingsBlock settings;
  CAudioOutput audio{settings};
  CAudioOutputTarget<CAudioOutput> target{audio};
};

}  // namespace kx::test
