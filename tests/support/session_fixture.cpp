#include "session_fixture.h"

#include <algorithm>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kx::test {

namespace {
constexpr size_t kKeepValues = 48000 * 10;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void CTestHost::CameraInfo(CameraInfoLine line, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_last = line;
  switch (line) {
    case CameraInfoLine::Clear:
      m_video.clear();
      m_audio.clear();
      ++m_clears;
      break;
    case CameraInfoLine::Video: m_video = text; break;
    case CameraInfoLine::Audio: m_audio = text; break;
  }
}

void CTestHost::MessageBox(MessageIcon icon, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_boxes.push_back({icon, text});
}

int CTestHost::CountBoxes(const std::u16string& text) {
  const auto boxes = Boxes();
  return static_cast<int>(std::count_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.text == text; }));
}

void CRecordingFeed::PushAudioBlock(const float* values, size_t count) {
  m_analyser.PushAudioBlock(values, count);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_sizes.push_back(count);
  if (m_values.size() < kKeepValues) m_values.insert(m_values.end(), values, values + count);
}

CRecordingTarget::CRecordingTarget(bool deviceOpen) {
  if (!deviceOpen) return;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  swr_alloc_set_opts2(&m_swr, &stereo, AV_SAMPLE_FMT_S16, kRate, &stereo, AV_SAMPLE_FMT_FLT, 48000, 0, nullptr);
  if (m_swr && swr_init(m_swr) < 0) swr_free(&m_swr);
}

CRecordingTarget::~CRecordingTarget() { swr_free(&m_swr); }

int CRecordingTarget::ConvertAndWrite(const float* stereo, int frames, const PictureRecord& picture) {
  const int m = ConvertForDevice(m_swr, kRate, kChannels, stereo, frames, m_buffer);
  if (m < 0) return m;
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_chunks;
  m_frames += m;
  if (picture.Empty()) ++m_emptyPictures;
  m_slot = picture;
  const auto* s = reinterpret_cast<const int16_t*>(m_buffer.Data());
  if (m_samples.size() < kKeepValues * 2) m_samples.insert(m_samples.end(), s, s + m * kChannels);
  if (m_chunkNotes.size() < 3000) {
    ChunkNote note;
    if (m_pPicturesConverted) note.newest = m_pPicturesConverted->load() - 1;
    if (!picture.Empty()) {
      note.pts = picture.pts;
      note.generation = picture.generation;
      note.bytes = picture.pixels->size();
      const uint8_t* centre = picture.Data() + (static_cast<size_t>(picture.height / 2) * picture.width +
                                                static_cast<size_t>(picture.width / 2)) * 4;
      note.blue = centre[0];
      note.red = centre[2];
    }
    for (int i = 0; i < m * kChannels; ++i) note.peak = std::max(note.peak, std::abs(s[i] / 32768.0f));
    m_chunkNotes.push_back(note);
  }
  return m;
}

void CRecordingTarget::WritePicture(const PictureRecord& picture) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_pictureWrites;
  m_slot = picture;
}

CLogCapture::CLogCapture() {
  SetAppLogObserver([this](kxLogEventType, const std::u16string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(text);
  });
}
CLogCapture::~CLogCapture() { SetAppLogObserver(nullptr); }
bool CLogCapture::Contains(const std::u16string& part) {
  for (auto& l : Lines())
    if (l.find(part) != std::u16string::npos) return true;
  return false;
}
int CLogCapture::CountStarting(const std::u16string& head) {
  int n = 0;
  for (auto& l : Lines()) n += l.rfind(head, 0) == 0;
  return n;
}

double ZeroCrossingRate(const std::vector<float>& mono, double sampleRate) {
  if (mono.size() < 2) return 0;
  size_t crossings = 0;
  for (size_t i = 1; i < mono.size(); ++i) crossings += mono[i - 1] < 0 && mono[i] >= 0;
  return crossings * sampleRate / static_cast<double>(mono.size());
}

std::vector<float> Channel(const std::vector<int16_t>& interleaved, int channels, int index) {
  std::vector<float> out;
  for (size_t i = static_cast<size_t>(index); i < interleaved.size(); i += static_cast<size_t>(channels))
    out.push_back(interleaved[i] / 32768.0f);
  return out;
}

float PeakOf(const std::vector<float>& values, size_t from) {
  float peak = 0;
  for (size_t i = from; i < values.size(); ++i) peak = std::max(peak, std::abs(values[i]));
  return peak;
}

}  // namespace kx::test
