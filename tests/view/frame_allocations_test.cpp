// A running preview composes a frame every 10 ms: once its images exist,
// composing must not touch the heap, whatever the analyser brings. Every
// heap allocation the composing thread makes is counted (C++ and C alike,
// since Qt allocates much with malloc and realloc).
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/settings_block.h"
#include "allocation_counter.h"
#include "view/draw_view.h"
#include "view_fixture.h"

namespace kx {
namespace {

auto* const kQt = ::testing::AddGlobalTestEnvironment(new test::QtEnvironment("offscreen"));

// A 1920x1080 camera picture with detail, so that scaling has work to do.
PictureRecord CameraPicture() {
  PictureRecord pic;
  pic.width = 1920;
  pic.height = 1080;
  pic.pts = 1;
  pic.generation = NextPictureGeneration();
  auto px = std::make_shared<PicturePixels>(1920 * 1080 * 4);
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x) {
      uint8_t* p = px->data() + (static_cast<size_t>(y) * 1920 + x) * 4;
      p[0] = static_cast<uint8_t>(x * 7 + y);
      p[1] = static_cast<uint8_t>(x ^ y);
      p[2] = static_cast<uint8_t>(y * 3);
      p[3] = 255;
    }
  pic.pixels = px;
  return pic;
}

// Noise with a 437 Hz tone in it through the analyser: every block moves
// the meter, the waveform and the spectrum.
class Feed {
 public:
  explicit Feed(CSpectrumAnalyser& analyser) : analyser_(analyser) {}
  void Block() {
    for (size_t i = 0; i < block_.size(); ++i, ++n_)
      block_[i] = 0.3f * static_cast<float>(std::sin(2 * M_PI * 437.0 * static_cast<double>(n_) / 48000.0)) +
                  noise_(rng_);
    analyser_.PushAudioBlock(block_.data(), block_.size());
    while (analyser_.HasNewBlock()) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }

 private:
  CSpectrumAnalyser& analyser_;
  std::mt19937 rng_{11};
  std::uniform_real_distribution<float> noise_{-0.4f, 0.4f};
  std::vector<float> block_ = std::vector<float>(480);
  int64_t n_ = 0;
};

uint64_t AllocationsOfOneFrame(CDrawView& view) {
  const uint64_t before = test::ThreadAllocations();
  view.ComposeFrame();
  return test::ThreadAllocations() - before;
}

TEST(FrameAllocations, WarmFramesAllocateNothingAtAnySizeOrSetting) {
  if (!test::CountingEveryAllocation()) GTEST_SKIP() << "sanitizer build: C allocations are not counted";
  test::ViewParts parts;
  parts.settings.WaveScale = 24;  // many waveform columns per block
  CDrawView view(parts.settings, parts.target);
  view.StopRenderThread();  // frames are composed by the test alone
  view.PresentPicture(CameraPicture());
  Feed feed(view.Analyser());
  struct Case {
    int width, height, show, opacity;
  };
  // 1:1 picture, scaled picture, odd sizes, widgets alone, an opaque panel.
  // (A view of odd height puts the widgets on half pixels; those frames are
  // drawn by QPainter, which allocates, and are not claimed here.)
  for (const Case c : {Case{1920, 1080, 0, 50}, Case{1280, 720, 0, 50}, Case{1283, 722, 0, 35},
                       Case{1001, 564, 0, 50}, Case{1280, 720, 1, 50}, Case{1280, 720, 0, 100}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " show " + std::to_string(c.show) +
                 " opacity " + std::to_string(c.opacity));
    parts.settings.ShowWidgets = c.show;
    parts.settings.Opacity = c.opacity;
    view.ResizeTargets(c.width, c.height);
    for (int i = 0; i < 5; ++i) {  // warm: images made at this size
      feed.Block();
      view.ComposeFrame();
    }
    uint64_t total = 0;
    for (int i = 0; i < 40; ++i) {
      feed.Block();
      total += AllocationsOfOneFrame(view);
    }
    EXPECT_EQ(total, 0u) << "allocations in 40 warm frames";
  }
}

TEST(FrameAllocations, TheCounterSeesQtAllocating) {
  // The count above can only pass for the right reason if Qt's own
  // allocations are seen: a path drawn by the painter allocates.
  if (!test::CountingEveryAllocation()) GTEST_SKIP() << "sanitizer build: C allocations are not counted";
  QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
  image.fill(0u);
  QPainter painter(&image);
  QPainterPath path;
  path.reserve(2000);
  for (int i = 0; i < 1000; ++i) path.lineTo(i % 64, (i * 7) % 64);
  const uint64_t before = test::ThreadAllocations();
  painter.drawPath(path);
  EXPECT_GT(test::ThreadAllocations(), before);
}

}  // namespace
}  // namespace kx
