// ComposeFrame at 1280x720 and 1920x1080 views with a 1920x1080 picture:
//   Picture/...  the reference: the letterboxed picture alone (ShowWidgets 2),
//                drawn with the same linear interpolation;
//   Full/...     the picture plus peak meter, waveform and a busy spectrum
//                (white noise through the real analyser), at 50 % opacity;
//   ...NewPicture the same with the next camera picture uploaded before each
//                frame, as in a running preview (the upload itself is not
//                timed: the audio thread makes it).
// Counters: ms per frame and heap allocations per frame (C and C++; C++
// only in sanitizer builds). CPU time is the
// whole process's: the painter scales pictures on a pool of worker threads.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <thread>

#include "common/settings_block.h"
#include "audio/audio_output.h"
#include "media/session_adapters.h"
#include "view/draw_view.h"
#include "allocation_counter.h"


namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "compose_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

struct Scene {
  kx::CSettingsBlock settings;
  kx::CAudioOutput audio{settings};  // no device open
  kx::CAudioOutputTarget<kx::CAudioOutput> target{audio};
  std::unique_ptr<kx::CDrawView> view;
  kx::PictureRecord pictures[2];

  Scene(int w, int h, bool widgets) {
    App();
    settings.ShowWidgets = widgets ? 0 : 2;
    settings.WaveScale = 24;  // 20 columns per block: a dense waveform
    view = std::make_unique<kx::CDrawView>(settings, target);
    view->StopRenderThread();  // frames are composed by the benchmark alone
    view->ResizeTargets(w, h);
    // A camera picture with detail (the interpolation sees real gradients).
    for (int i = 0; i < 2; ++i) {
      kx::PictureRecord& pic = pictures[i];
      pic.width = 1920;
      pic.height = 1080;
      pic.pts = i;
      pic.generation = kx::NextPictureGeneration();
      auto px = std::make_shared<kx::PicturePixels>(1920 * 1080 * 4);
      for (int y = 0; y < 1080; ++y)
        for (int x = 0; x < 1920; ++x) {
          uint8_t* p = px->data() + (static_cast<size_t>(y) * 1920 + x) * 4;
          p[0] = static_cast<uint8_t>(x * 7 + y + i * 40);
          p[1] = static_cast<uint8_t>(x ^ y);
          p[2] = static_cast<uint8_t>(y * 3);
          p[3] = 255;
        }
      pic.pixels = px;
    }
    view->PresentPicture(pictures[0]);
    // White noise through the analyser for a busy spectrum and waveform.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<float> block(480);
    for (int b = 0; b < 300; ++b) {
      for (float& v : block) v = noise(rng);
      view->Analyser().PushAudioBlock(block.data(), block.size());
      while (view->Analyser().HasNewBlock()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    for (int i = 0; i < 3; ++i) view->ComposeFrame();  // warm the label cache and images
  }
};

void Compose(benchmark::State& state, bool widgets, bool newPicture = false) {
  Scene scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), widgets);
  uint64_t allocations = 0, frames = 0;
  for (auto _ : state) {
    if (newPicture) {
      state.PauseTiming();
      kx::PictureRecord next = scene.pictures[frames % 2 ? 0 : 1];
      next.generation = kx::NextPictureGeneration();
      scene.view->PresentPicture(next);
      state.ResumeTiming();
    }
    const uint64_t before = kx::test::AllAllocations();
    scene.view->ComposeFrame();
    allocations += kx::test::AllAllocations() - before;
    ++frames;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / static_cast<double>(frames);
}

void Picture(benchmark::State& state) { Compose(state, false); }
void Full(benchmark::State& state) { Compose(state, true); }
void PictureNewPicture(benchmark::State& state) { Compose(state, false, true); }
void FullNewPicture(benchmark::State& state) { Compose(state, true, true); }

}  // namespace

BENCHMARK(Picture)
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();
BENCHMARK(Full)
    ->Args({1280, 720})
    ->Args({1280, 721})  // odd height: the widgets fall on half pixels
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

BENCHMARK(PictureNewPicture)
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();
BENCHMARK(FullNewPicture)
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->MeasureProcessCPUTime();

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
