// Between the server's sample specs and the program's format records.
#pragma once

#include <pulse/pulseaudio.h>

#include "platform/audio/core_audio.h"

namespace kx::platform::audio::detail {

// The sample spec a stream in this format uses; false when there is none.
bool SampleSpecFromFormat(const WAVEFORMATEX* format, pa_sample_spec& sampleSpec);
// The channel map of a stream on the endpoint with `channels` channels.
pa_channel_map ChannelMapFor(const Endpoint& endpoint, int channels);
// Size of the record a format pointer heads (18 or 40 bytes).
size_t FormatSize(const WAVEFORMATEX* format);

}  // namespace kx::platform::audio::detail
