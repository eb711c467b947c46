# The sound system: a user-mode PulseAudio daemon with null sinks, no
# default configuration, reachable only through its own socket.
#   kx_float   float32 48 kHz stereo (the default sink)
#   kx_s16     s16 44.1 kHz mono
#   kx_s24     s24 48 kHz stereo
#   kx_six     float32 48 kHz, 6 channels

pa_dir() { echo "$KX_PEERS_DIR/pulse"; }

peer_start() {
  local dir; dir=$(pa_dir)
  mkdir -p "$dir/runtime" && chmod 0700 "$dir/runtime"
  cat >"$dir/default.pa" <<'PA'
.fail
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=kx_float rate=48000 channels=2 format=float32le sink_properties=device.description=kxFloatStereo
load-module module-null-sink sink_name=kx_s16 rate=44100 channels=1 format=s16le sink_properties=device.description=kxS16Mono
load-module module-null-sink sink_name=kx_s24 rate=48000 channels=2 format=s24le sink_properties=device.description=kxS24Stereo
load-module module-null-sink sink_name=kx_six rate=48000 channels=6 format=float32le sink_properties=device.description=kxFloatSix
set-default-sink kx_float
PA
  XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    -F "$dir/default.pa" --log-target=file:"$dir/pulse.log" &
  echo $! >"$dir/pid"
  local server="unix:$dir/runtime/pulse/native"
  if ! kx_wait_until 10 env PULSE_SERVER="$server" pactl info; then
    echo "pulseaudio did not come up; see $dir/pulse.log" >&2
    return 1
  fi
  # An idle null sink renders in two-second blocks and takes up to that long
  # to follow a new client's latency; a hardware sink follows at once. A
  # small recorder on each monitor keeps every sink at a 10 ms block.
  local sink i=0
  for sink in kx_float kx_s16 kx_s24 kx_six; do
    PULSE_SERVER="$server" parec --latency-msec=10 --raw -d "$sink.monitor" >/dev/null 2>&1 &
    echo $! >"$dir/keeper$i.pid"
    i=$((i + 1))
  done
  pa_keepers_ready() { [ "$(PULSE_SERVER="$server" pactl list short source-outputs | wc -l)" -ge 4 ]; }
  kx_wait_until 10 pa_keepers_ready || { echo "sink latency keepers did not start" >&2; return 1; }
  sleep 2.2  # the blocks begun before the keepers came end
  cat >"$KX_PEERS_DIR/pulseaudio.env" <<ENV
PULSE_SERVER=$server
KX_PULSE_SINK_FLOAT=kx_float
KX_PULSE_SINK_S16=kx_s16
KX_PULSE_SINK_S24=kx_s24
KX_PULSE_SINK_SIX=kx_six
ENV
}

peer_stop() {
  local f
  for f in "$(pa_dir)"/keeper*.pid; do kx_stop_pid "$f"; done
  kx_stop_pid "$(pa_dir)/pid"
}
