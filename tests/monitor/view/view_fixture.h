// A Qt application for the view tests, and helpers to feed the view.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <memory>
#include <vector>

#include "media/picture_record.h"

namespace kx::test {

// One QApplication per test program; offscreen unless `platform` is given.
inline QApplication& App(const char* platform = "offscreen") {
  static std::unique_ptr<QApplication> app;
  if (!app) {
    if (platform) qputenv("QT_QPA_PLATFORM", platform);
    static int argc = 1;
    static char name[] = "kxViewTest";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
  }
  return *app;
}

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
  r.pixels = std::move(pixels);
  return r;
}

}  // namespace kx::test
