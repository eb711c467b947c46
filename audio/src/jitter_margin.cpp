#include "audio/jitter_margin.h"

#include <algorithm>

namespace kx {

void CJitterMargin::Reset(int sampleRate) {
  m_rate = sampleRate > 0 ? sampleRate : 48000;
  m_state = State::Idle;
  m_allowance = kFirstAllowance;
  m_raised = false;
}

void CJitterMargin::RanDry(Clock::time_point now) {
  // Only a stream that played can run dry; holding, it is dry on purpose.
  if (m_state != State::Playing) return;
  m_state = State::Dry;
  m_drySince = now;
}

int CJitterMargin::Frames(Duration d) const {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(d).count() * m_rate / 1'000'000);
}

int CJitterMargin::TargetFrames(int largestChunk) const {
  return std::min(std::max(largestChunk, 0) + Frames(m_allowance), Frames(kMaxTarget));
}

bool CJitterMargin::MayPlay(int queuedFrames, int largestChunk, Clock::time_point now) {
  if (m_state == State::Playing) return true;
  if (queuedFrames <= 0) {
    if (m_state == State::Dry && now - m_drySince >= kNewStartPause) {
      m_state = State::Idle;
      m_allowance = kFirstAllowance;
    }
    return false;
  }
  if (m_state == State::Dry) {
    const Duration without = now - m_drySince;
    if (without < kNewStartPause) {
      // A late chunk: the slack was too small by at least as long as the device went without.
      m_allowance = std::min<Duration>(m_allowance + std::max<Duration>(kRaiseStep, without), kMaxTarget);
      m_raised = true;
    } else {
      m_allowance = kFirstAllowance;
    }
  }
  if (m_state != State::Holding) {
    m_state = State::Holding;
    m_holdSince = now;
  }
  if (now - m_holdSince >= m_allowance || queuedFrames >= TargetFrames(largestChunk)) {
    m_state = State::Playing;
    return true;
  }
  return false;
}

bool CJitterMargin::TakeRaised() {
  const bool raised = m_raised;
  m_raised = false;
  return raised;
}

}  // namespace kx
