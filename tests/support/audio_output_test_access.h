// The audio output's FIFO and resampler, for the tests that check what a device's open set up.
#pragma once

#include "audio/audio_output.h"

namespace kx {

class CAudioOutputTestAccess {
 public:
  static CAVFifo& Fifo(CAudioOutput& out) { return out.m_fifo; }
  // Under the set-up lock while a decode side may write.
  static SwrContext* Resampler(CAudioOutput& out) { return out.m_pSwr; }
};

}  // namespace kx
