// How much sound the render loop holds back before it plays. A live camera
// delivers its sound in chunks (21 ms of AAC, 20-40 ms of G.711) with network
// and decode jitter; a stream fed each chunk as it comes runs dry whenever one
// is late. So after the device opens, and after every time it ran dry, the
// render loop holds the sound back for an allowance after the first of it
// arrived and only then plays: when the next chunk is due the device still
// has the allowance to play, whatever the chunk size. The slack built then
// stays for as long as the sound flows.
//
// The allowance grows each time the device runs dry and the sound comes back
// soon after (a late chunk): by at least a step, or by as long as the device
// went without. Sound that comes back after a long pause (a stop, a new
// camera) starts afresh from the first allowance. It never shrinks otherwise.
//
// Platform-free; used by the render thread only.
#pragma once

#include <chrono>
#include <cstdint>

namespace kx {

class CJitterMargin {
 public:
  using Clock = std::chrono::steady_clock;
  using Duration = Clock::duration;

  // A sink period (10 ms), the decode jitter of a large picture and the odd
  // late packet of a quiet network: 30 ms still ran dry once or twice a
  // minute on half the camera kinds of the continuity benchmark.
  static constexpr Duration kFirstAllowance = std::chrono::milliseconds(50);
  static constexpr Duration kRaiseStep = std::chrono::milliseconds(10);
  static constexpr Duration kMaxTarget = std::chrono::milliseconds(400);
  // Sound back after this long is a new start, not a late chunk.
  static constexpr Duration kNewStartPause = std::chrono::milliseconds(500);

  // A device opened at this rate: nothing held, the first allowance.
  void Reset(int sampleRate);

  // The device reported running dry.
  void RanDry(Clock::time_point now);

  // The render loop's question at each wake-up: may it hand the queued frames
  // to the device now? `largestChunk` is the largest write the FIFO has seen.
  // While holding, the answer turns yes once the first held frame has waited
  // the allowance, or at once when the FIFO already holds the largest chunk
  // and the allowance (a burst after a stall).
  bool MayPlay(int queuedFrames, int largestChunk, Clock::time_point now);

  // What the FIFO must hold to play without waiting out the allowance.
  int TargetFrames(int largestChunk) const;
  int TargetMillis(int largestChunk) const { return static_cast<int>(int64_t{TargetFrames(largestChunk)} * 1000 / m_rate); }
  Duration Allowance() const { return m_allowance; }
  int Rate() const { return m_rate; }
  bool Holding() const { return m_state != State::Playing; }
  // Set once when a late chunk raised the allowance (for the log); cleared by reading.
  bool TakeRaised();

 private:
  enum class State { Idle, Dry, Holding, Playing };
  int Frames(Duration d) const;

  int m_rate = 48000;
  State m_state = State::Idle;
  Duration m_allowance = kFirstAllowance;
  Clock::time_point m_drySince{};
  Clock::time_point m_holdSince{};
  bool m_raised = false;
};

}  // namespace kx
