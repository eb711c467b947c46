#include "monitor/measure_worker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include <pthread.h>

namespace kx::measure {

CMeasureWorker::CMeasureWorker(const Thresholds& thresholds)
    : m_queue(2 * kQueueFrames), m_meter(48000, thresholds), m_take(2 * kQueueFrames) {
  // Taken by swapping: no allocation on the pushing thread once both have room.
  // Made before the thread starts, which swaps them.
  for (auto* v : {&m_pictures, &m_takePictures}) v->reserve(kQueuePictures);
  m_thread = std::thread([this] { Run(); });
}

CMeasureWorker::~CMeasureWorker() {
  {
    std::lock_guard<std::mutex> lock(m_csWake);
    m_stop = true;
  }
  m_wake.notify_one();
  m_thread.join();
}

void CMeasureWorker::Push(const float* interleaved, size_t frames, double seconds) {
  std::lock_guard<std::mutex> lock(m_csQueue);
  const size_t room = kQueueFrames - m_queued;
  const size_t take = std::min(frames, room);
  // One mark per push: the lip-sync clock of each chunk is its own, gaps in
  // the stream included. The marks need no bound of their own: a push that
  // finds the queue full adds none.
  if (take > 0 && (std::isfinite(seconds) || (!m_marks.empty() && std::isfinite(m_marks.back().seconds))))
    m_marks.push_back({m_queued, seconds});
  std::memcpy(m_queue.data() + 2 * m_queued, interleaved, take * 2 * sizeof(float));
  m_queued += take;
  if (take < frames) m_dropped.fetch_add(static_cast<int64_t>(frames - take), std::memory_order_relaxed);
}

void CMeasureWorker::PushPicture(const LumaThumb& thumb) {
  std::lock_guard<std::mutex> lock(m_csQueue);
  if (m_pictures.size() < kQueuePictures) m_pictures.push_back(thumb);
}

void CMeasureWorker::Reset() {
  std::lock_guard<std::mutex> lock(m_csQueue);
  m_queued = 0;
  m_marks.clear();
  m_pictures.clear();
  m_resetPending = true;
  // The old figures go at once: a reader never sees them after the reset.
  std::lock_guard<std::mutex> figures(m_csFigures);
  m_figures.reset();
}

void CMeasureWorker::SetThresholds(const Thresholds& thresholds) {
  std::lock_guard<std::mutex> lock(m_csQueue);
  m_newThresholds = thresholds;
}

std::optional<SoundFigures> CMeasureWorker::Figures() const {
  std::lock_guard<std::mutex> lock(m_csFigures);
  return m_figures;
}

void CMeasureWorker::Flush() { Work(); }

void CMeasureWorker::Work() {
  std::lock_guard<std::mutex> work(m_csWork);
  size_t frames = 0;
  bool reset = false;
  std::optional<Thresholds> thresholds;
  {
    // Only the copy under the queue's lock: the pushing thread never waits for the meter.
    std::lock_guard<std::mutex> lock(m_csQueue);
    frames = m_queued;
    std::memcpy(m_take.data(), m_queue.data(), frames * 2 * sizeof(float));
    m_queued = 0;
    m_takeMarks.swap(m_marks);
    m_marks.clear();
    m_takePictures.swap(m_pictures);
    m_pictures.clear();
    reset = std::exchange(m_resetPending, false);
    thresholds.swap(m_newThresholds);
  }
  if (thresholds) m_meter.SetThresholds(*thresholds);
  if (reset) m_meter.Reset();
  for (const LumaThumb& thumb : m_takePictures) m_meter.AddPicture(thumb);
  // The frames in runs between the marks, each with its own stream time.
  size_t at = 0;
  double seconds = NAN;
  for (size_t i = 0; i <= m_takeMarks.size(); ++i) {
    const size_t end = i < m_takeMarks.size() ? m_takeMarks[i].frame : frames;
    if (end > at) m_meter.Add(m_take.data() + 2 * at, end - at, seconds);
    if (i < m_takeMarks.size()) seconds = m_takeMarks[i].seconds;
    at = std::max(at, end);
  }
  if (frames == 0 && m_takePictures.empty() && !reset && !thresholds) return;
  std::optional<SoundFigures> figures;
  if (m_meter.Frames() > 0) figures = m_meter.Figures();
  // A reset that came while these were measured makes them stale: not published.
  std::lock_guard<std::mutex> queue(m_csQueue);
  if (m_resetPending) return;
  std::lock_guard<std::mutex> lock(m_csFigures);
  m_figures = std::move(figures);
}

void CMeasureWorker::Run() {
  pthread_setname_np(pthread_self(), "kx-measure");
  // Every 100 ms: the panel refreshes ten times a second, and the decode
  // thread is never woken or made to wait for more than a copy.
  std::unique_lock<std::mutex> lock(m_csWake);
  while (!m_stop) {
    m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_stop; });
    if (m_stop) break;
    lock.unlock();
    Work();
    lock.lock();
  }
}

}  // namespace kx::measure
