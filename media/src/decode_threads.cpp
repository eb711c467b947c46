// The three decode thread procedures share one run object; they differ in
// which streams they handle, where pictures go and what they log.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "common/app_log.h"
#include "media/audio_chunk.h"
#include "media/log_throttle.h"
#include "media/picture_convert.h"
#include "media/preview_session.h"
#include "platform/debug_output.h"

namespace kx {

const char* SampleFormatLogName(int format) {
  static const char* const kNames[] = {
      "unsigned 8 bits",          "signed 16 bits",         "signed 32 bits",          "float",
      "double",                   "unsigned 8 bits, planar", "signed 16 bits, planar", "signed 32 bits, planar",
      "float, planar",            "double, planar",         "signed 64 bits",          "signed 64 bits, planar"};
  if (format == -1) return "Format undefined";
  if (format >= 0 && format < 12) return kNames[format];
  return "";
}

const char* ChannelLayoutLogName(uint64_t mask) {
  switch (mask) {
    case 3: return "Stereo";
    case 4: return "AV_CH_LAYOUT_MONO";
    case 0x33: return "AV_CH_LAYOUT_QUAD";
    case 0x737: return "AV_CH_LAYOUT_OCTAGONAL";
    default: return "";
  }
}

namespace {

constexpr int kAnalysisRate = 48000;
constexpr size_t kBlockValues = 480;
constexpr double kAudioHoldSeconds = 3.0;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

}  // namespace

struct RunKind {
  DecodeProc proc;
  bool video;      // handles the video stream
  bool audio;      // handles the audio stream
  bool logLines;   // writes the run's lines to the log (ThreadProcAV)
};

// One decode run on the decode thread (a friend of the session: it reads
// the open stream and feeds the session's targets).
class CDecodeRun {
 public:
  CDecodeRun(CPreviewSession& s, RunKind kind) : m_s(s), m_kind(kind) {}
  ~CDecodeRun() { FreeRunObjects(); }

  uint32_t Run() {
    if (!SetUp()) {
      // The input and decoders are closed too, so nothing stays open with no
      // thread to read it.
      FreeRunObjects();
      m_s.CloseStream();
      m_s.ClearFrameQueue();
      m_s.SetIdle();
      // Nothing plays: the information bar must not keep the failed run's lines.
      m_s.HostCameraInfo(CameraInfoLine::Clear, {});
      return 0xFFFFFFFF;
    }
    Read();
    End();
    return 0;
  }

 private:
  bool SetUp();
  void Read();
  void End();
  void FreeRunObjects();
  // Returns false when the run must end (new picture size).
  bool HandleVideoPacket(const AVPacket* packet);
  void HandleAudioPacket(const AVPacket* packet);
  void ConvertPicture(const AVFrame* frame);
  void FeedPicture(const AVFrame* frame, const PictureRecord& converted);
  void OutputAudioChunk(const AVFrame* frame);
  void FeedAnalysis(const float* interleaved, size_t frames, double seconds);
  PictureRecord PictureForChunk();
  void ResetBusy() { m_s.SetIdle(); }
  void LogThrottled(CLogThrottle& throttle, std::string_view text);

  CPreviewSession& m_s;
  const RunKind m_kind;
  CStereoConverter m_stereo;
  SwsContext* m_converter = nullptr;
  AVFrame* m_decoded = nullptr;
  AVFrame* m_audioFrame = nullptr;
  AVPacket* m_packet = nullptr;
  PictureRecord m_last;  // the last converted picture, empty at the start
  int64_t m_serial = 0;
  double m_audioClock = 0;
  bool m_syncLogged = false;
  // Normal for some streams, so logged per run and then once a minute.
  CLogThrottle m_dropCopyLog, m_queueFullLog;
  bool m_firstChunkWritten = false;
  AVRational m_audioTimeBase{1, 1};
  AVRational m_videoTimeBase{1, 1};
  measure::LumaThumb m_thumb;
  // The left channel not yet handed to the analyser: less than one block,
  // completed by the next chunk of this run.
  std::array<float, kBlockValues> m_carry{};
  size_t m_carryCount = 0;
};

bool CDecodeRun::SetUp() {
  AVCodecContext* actx = m_s.m_pAudioCodecCtx;
  AVCodecContext* vctx = m_s.m_pVideoCodecCtx;
  if (m_kind.audio) {
    // 1. The stereo resampler: the decoder's layout, rate and format in,
    // 48 kHz packed float stereo out.
    uint64_t mask = 0;
    m_stereo.Init(*actx, &mask);
    // 2.
    if (m_kind.logLines) {
      LogInfo(std::string_view("Start ThreadProcAV ...."));
      LogInfo(Printf("Audio codec: channels=%d, layout=%s, sample rate=[%d], sample format=[%s]",
                     actx->ch_layout.nb_channels, ChannelLayoutLogName(mask), actx->sample_rate,
                     SampleFormatLogName(actx->sample_fmt)));
    }
    // 3.
    if (!m_stereo.Ready()) {
      platform::DebugOutput(std::string_view("Resampler STEREO has not been properly initialized\n"));
      if (m_kind.logLines) LogError(std::string_view("Resampler STEREO has not been properly initialized"));
      return false;
    }
    m_audioFrame = av_frame_alloc();
    m_audioTimeBase = m_s.m_pFormatCtx->streams[m_s.m_nAudioStream]->time_base;
  }
  if (m_kind.video) {
    // 4. Same size, BGRA, the fastest bilinear mode.
    m_converter = sws_getContext(vctx->width, vctx->height, vctx->pix_fmt, vctx->width, vctx->height,
                                 AV_PIX_FMT_BGRA, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_converter) {
      platform::DebugOutput(std::string_view("Cannot initialize the conversion context\n"));
      if (m_kind.logLines) LogError(std::string_view("Cannot initialize the conversion context"));
      return false;
    }
    // 5.
    m_s.m_sizeVideo.Set({vctx->width, vctx->height});
    m_s.TestPoint(SessionPoint::BeforeResizeTargets);
    // A stop may have come while the stream opened: the host may be going away.
    if (m_s.StopRequested()) return false;
    const VideoSize window = m_s.m_host.WindowSize();
    m_s.m_host.ResizeTargets(window.cx, window.cy);
    // 6.
    m_decoded = av_frame_alloc();
    m_videoTimeBase = m_s.m_pFormatCtx->streams[m_s.m_nVideoStream]->time_base;
  }
  m_packet = av_packet_alloc();

  // 7. Start values.
  if (m_kind.audio) {
    const AVStream* as = m_s.m_pFormatCtx->streams[m_s.m_nAudioStream];
    const int64_t astart = as->start_time;
    m_audioClock = astart == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(astart) * av_q2d(as->time_base);
    if (m_kind.logLines && m_kind.video) {
      const AVStream* vs = m_s.m_pFormatCtx->streams[m_s.m_nVideoStream];
      const int64_t vstart = vs->start_time;
      const double vclock = vstart == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(vstart) * av_q2d(vs->time_base);
      const auto uv = static_cast<unsigned long long>(vstart), ua = static_cast<unsigned long long>(astart);
      platform::DebugOutput(Printf("\nStart Time VIDEO: %llu AUDIO: %llu", uv, ua));
      platform::DebugOutput(Printf("\n Start video_clock: %lf, Start audio_clock: %lf", vclock, m_audioClock));
      LogInfo(Printf("Start Time VIDEO: %llu AUDIO: %llu", uv, ua));
      LogInfo(Printf("Start video_clock: %lf, Start audio_clock: %lf", vclock, m_audioClock));
    }
  }
  // 8.
  m_last = PictureRecord{};
  m_syncLogged = false;
  m_serial = 0;
  return m_packet && (!m_kind.audio || m_audioFrame) && (!m_kind.video || m_decoded);
}

void CDecodeRun::Read() {
  const int video = m_kind.video ? m_s.m_nVideoStream.load() : -1;
  const int audio = m_kind.audio ? m_s.m_nAudioStream.load() : -1;
  while (!m_s.StopRequested()) {
    // Sound alone has nothing to show: reading is progress enough. A run
    // with pictures stays busy until one of them is on the screen.
    if (!m_kind.video && !m_kind.logLines) ResetBusy();
    m_s.BeginRead();
    const int rc = av_read_frame(m_s.m_pFormatCtx, m_packet);
    m_s.EndRead();
    if (rc != 0) {
      ResetBusy();
      if (m_kind.logLines && !m_s.StopRequested())
        LogWarning(std::string_view("av_read_frame != 0 (Format AV was changed)"));
      break;
    }
    bool keepGoing = true;
    if (m_packet->stream_index == video && video >= 0)
      keepGoing = HandleVideoPacket(m_packet);
    else if (m_packet->stream_index == audio && audio >= 0)
      HandleAudioPacket(m_packet);
    av_packet_unref(m_packet);
    if (!keepGoing) break;
  }
}

bool CDecodeRun::HandleVideoPacket(const AVPacket* packet) {
  AVCodecContext* ctx = m_s.m_pVideoCodecCtx;
  const VideoSize current = m_s.m_sizeVideo.Get();
  if (ctx->width != current.cx || ctx->height != current.cy) {
    m_s.m_sizeVideo.Set({ctx->width, ctx->height});
    return false;  // the restart opens the stream again with the new size
  }
  if (avcodec_send_packet(ctx, packet) < 0) return true;  // skipped
  while (avcodec_receive_frame(ctx, m_decoded) == 0) {
    if (m_decoded->width != current.cx || m_decoded->height != current.cy) {
      m_s.m_sizeVideo.Set({m_decoded->width, m_decoded->height});
      av_frame_unref(m_decoded);
      return false;
    }
    ConvertPicture(m_decoded);
    av_frame_unref(m_decoded);
  }
  return true;
}

void CDecodeRun::ConvertPicture(const AVFrame* frame) {
  // At the size the host shows it (one conversion, no second scaling there),
  // else at the camera's own.
  const VideoSize shown = m_s.m_host.ShownPictureSize();
  const bool toShown = shown.cx > 0 && shown.cy > 0;
  const int w = toShown ? shown.cx : frame->width, h = toShown ? shown.cy : frame->height;
  const int bytes = av_image_get_buffer_size(AV_PIX_FMT_BGRA, w, h, 1);
  if (bytes <= 0) return;
  // A buffer no record shows: the view may be reading the others.
  std::shared_ptr<PicturePixels> pixels = m_s.m_picturePool.Acquire(static_cast<size_t>(bytes));
  if (!ConvertPictureToBgra(m_converter, *frame, w, h, pixels->data())) return;

  PictureRecord record;
  record.width = w;
  record.height = h;
  record.pts = m_serial;
  record.generation = NextPictureGeneration();
  record.pixels = std::move(pixels);
  if (m_kind.audio) FeedPicture(frame, record);
  if (m_kind.audio) {
    if (m_s.m_frameQueue.Push(record)) {
      m_s.m_stats.queueDrops++;
      LogThrottled(m_queueFullLog, "Frame queue full: the oldest pictures are dropped until audio flows");
    }
  } else {
    m_s.m_audio.WritePicture(record);
  }
  m_last = std::move(record);
  ++m_serial;
  m_s.m_stats.picturesConverted++;
}

void CDecodeRun::FeedPicture(const AVFrame* frame, const PictureRecord& converted) {
  const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
  if (pts == AV_NOPTS_VALUE) return;  // no place on the stream's clock
  m_thumb.seconds = static_cast<double>(pts) * av_q2d(m_videoTimeBase);
  // The decoder's own luma plane where it has one (8-bit, one byte a pixel),
  // else the BGRA picture just made: never a conversion of its own.
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
  const bool luma = d && !(d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) && d->nb_components > 0 &&
                    d->comp[0].plane == 0 && d->comp[0].depth == 8 && d->comp[0].step == 1 && d->comp[0].offset == 0;
  const bool made = luma ? measure::MakeLumaThumb(frame->data[0], frame->width, frame->height, frame->linesize[0],
                                                  measure::PixelLayout::Luma8, m_thumb)
                         : measure::MakeLumaThumb(converted.Data(), converted.width, converted.height,
                                                  converted.LineSize(), measure::PixelLayout::Bgra, m_thumb);
  if (made) m_s.m_analysis.PushPicture(m_thumb);
}

void CDecodeRun::HandleAudioPacket(const AVPacket* packet) {
  AVCodecContext* ctx = m_s.m_pAudioCodecCtx;
  std::lock_guard<std::mutex> setup(m_s.m_audio.SetupLock());
  if (avcodec_send_packet(ctx, packet) < 0) return;
  bool first = true;
  double next = m_audioClock;
  while (avcodec_receive_frame(ctx, m_audioFrame) == 0) {
    const int rate = ctx->sample_rate > 0 ? ctx->sample_rate : 1;
    const int channels = std::max(1, ctx->ch_layout.nb_channels);
    const int dataSize =
        av_samples_get_buffer_size(nullptr, channels, m_audioFrame->nb_samples, ctx->sample_fmt, 1);
    if (packet->pts == AV_NOPTS_VALUE) {
      const int bytesPerSample = std::max(1, av_get_bytes_per_sample(ctx->sample_fmt));
      m_audioClock += static_cast<double>(std::max(0, dataSize)) / (bytesPerSample * channels * rate);
    } else if (first) {
      m_audioClock = static_cast<double>(packet->pts) * av_q2d(m_audioTimeBase);
    } else {
      m_audioClock = next;  // a later frame of the same packet
    }
    next = m_audioClock + static_cast<double>(m_audioFrame->nb_samples) / rate;
    first = false;

    if (m_audioClock < kAudioHoldSeconds) {
      m_s.m_stats.audioFramesHeld += m_audioFrame->nb_samples;
    } else {
      if (!m_syncLogged) {
        platform::DebugOutput(std::string_view("\n ----- Sync Audio -----"));
        if (m_kind.logLines) LogWarning(std::string_view("----- Sync Audio -----"));
        m_syncLogged = true;
      }
      OutputAudioChunk(m_audioFrame);
    }
    av_frame_unref(m_audioFrame);
  }
}

void CDecodeRun::LogThrottled(CLogThrottle& throttle, std::string_view text) {
  const std::string line = throttle.Note(CLogThrottle::Clock::now(), text);
  if (line.empty()) return;
  LogWarning(line);
  platform::DebugOutput("\n " + line);
}

PictureRecord CDecodeRun::PictureForChunk() {
  if (!m_kind.video) return PictureRecord{};  // audio only: nothing to draw
  // The newest picture goes with the chunk; older queued ones would show the
  // picture behind the sound.
  if (auto record = m_s.m_frameQueue.TakeNewest()) return std::move(*record);
  m_s.m_stats.dropCopies++;
  LogThrottled(m_dropCopyLog, "Drop - Copy pFrameRGB_Fill !!!");
  return m_last;
}

void CDecodeRun::OutputAudioChunk(const AVFrame* frame) {
  const int inRate = m_s.m_pAudioCodecCtx->sample_rate;
  if (!m_stereo.Ready() || inRate <= 0) return;

  // Into a buffer kept for the run; the stereo chunk feeds the analyser and
  // the device conversion where it lies.
  // The converted sound starts that much before this frame's timestamp.
  const double lag = m_stereo.DelaySeconds();
  const int n = m_stereo.Convert(*frame, inRate);
  if (n < 0) return;
  if (n > 0) {
    m_s.m_stats.analysisFramesConverted += n;
    FeedAnalysis(m_stereo.Data(), static_cast<size_t>(n), m_audioClock - lag);
  }
  if (!m_kind.video) ResetBusy();

  // The sound is analysed whether or not it can be played: without an open
  // device only the device conversion and the FIFO write are skipped.
  if (!m_s.m_audio.DeviceOpen()) {
    // No render loop takes pictures from the FIFO: the target shows it at once.
    if (m_kind.video) m_s.m_audio.WritePicture(PictureForChunk());
    return;
  }
  const int m = m_s.m_audio.ConvertAndWrite(m_stereo.Data(), n, PictureForChunk());
  if (m < 0) return;
  m_s.m_stats.audioChunksWritten++;
  m_s.m_stats.audioFramesWritten += m;
  if (!m_firstChunkWritten) {
    m_s.m_stats.firstWrittenClockMicros = static_cast<int64_t>(m_audioClock * 1e6);
    m_firstChunkWritten = true;
  }
}

void CDecodeRun::FeedAnalysis(const float* interleaved, size_t frames, double seconds) {
  m_s.m_analysis.PushStereo(interleaved, frames, seconds);  // the measurements take the whole chunk
  // Every frame's left value, in 10 ms blocks that run on across chunks.
  size_t i = 0;
  while (i < frames) {
    const size_t take = std::min(kBlockValues - m_carryCount, frames - i);
    for (size_t k = 0; k < take; ++k) m_carry[m_carryCount + k] = interleaved[2 * (i + k)];
    m_carryCount += take;
    i += take;
    if (m_carryCount == kBlockValues) {
      m_s.m_analysis.PushAudioBlock(m_carry.data(), kBlockValues);
      m_carryCount = 0;
    }
  }
}

void CDecodeRun::FreeRunObjects() {
  m_stereo.Free();
  sws_freeContext(m_converter);
  m_converter = nullptr;
  av_frame_free(&m_decoded);
  av_frame_free(&m_audioFrame);
  av_packet_free(&m_packet);
  m_last = PictureRecord{};
}

void CDecodeRun::End() {
  // 10.
  if (m_kind.logLines) LogInfo(std::string_view("ThreadProcAV done"));
  FreeRunObjects();
  m_s.CloseStream();
  // A stop request stays set until the next start from the user-interface
  // thread, so one that arrives while this run ends is never lost.
  m_s.ClearFrameQueue();
  m_carryCount = 0;  // a partial block does not outlive its run
  m_s.ResetAnalysis();
  ResetBusy();  // a restart raises it again
}

uint32_t ThreadProcAV(CPreviewSession* view) {
  if (!view) return 0;
  return CDecodeRun(*view, {DecodeProc::AV, true, true, true}).Run();
}

uint32_t ThreadProcVideo(CPreviewSession* view) {
  if (!view) return 0;
  return CDecodeRun(*view, {DecodeProc::Video, true, false, false}).Run();
}

uint32_t ThreadProcAudio(CPreviewSession* view) {
  if (!view) return 0;
  return CDecodeRun(*view, {DecodeProc::Audio, false, true, false}).Run();
}

}  // namespace kx
