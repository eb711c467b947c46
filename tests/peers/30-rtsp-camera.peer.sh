# The camera: GStreamer's RTSP server on 127.0.0.1 with the mounts the tests
# share. Writes KX_RTSP_CAMERA=rtsp://127.0.0.1:PORT. Video is H.264 at 25 fps.
#   /av, /avtcp (RTSP on TCP only)  1280x720 + AAC 48 kHz stereo 1000 Hz
#   /avsmall   320x240 + AAC 48 kHz stereo 1000 Hz (about two audio chunks to every picture)
#   /avsilent  320x240 (ball) + silent AAC 48 kHz stereo
#   /video     320x240, one solid colour (R 0x30, G 0x80, B 0xC0), no audio
#   /pcmu      G.711 mu-law 8 kHz mono 1000 Hz, no video
#   /lr        16-bit PCM 48 kHz stereo in 20 ms packets: 1000 Hz left, silence right
#   /demo      the demo camera's stream
#   /tone437   AAC 48 kHz mono, 437 Hz at -6 dBFS (volume 0.5), no video
#   /tone3001  G.711 mu-law 8 kHz mono, 3001 Hz at -6 dBFS, no video
#   /aac44 /aac16 /pcma /opus  AAC 44.1 kHz stereo, AAC 16 kHz mono, G.711 A-law
#              8 kHz mono, Opus 48 kHz stereo: 437 Hz at -6 dBFS, no video
#   /avsync    320x240 + G.711 in 40 ms packets; every second the picture turns red
#              with a 437 Hz tone at -6 dBFS, then blue with silence (elements
#              "synccolor" and "synctone", switched together)
#   /slowaudio 320x240 + G.711 1000 Hz in 200 ms packets (five pictures to every audio chunk)
# For the sound measurements (16-bit PCM is lossless, so levels are exact; the
# files are made at start and play from their beginning for each client):
#   /m437      PCM 48 kHz stereo, 437 Hz at -20 dBFS; /m437hum50 with 50 Hz at -40 dBFS under it
#   /m523hum60 PCM 44.1 kHz stereo, 523.3 Hz at -20 dBFS with 60 Hz at -40 dBFS
#   /mnoisepcmu /mnoiseaac  white noise: G.711 8 kHz (band under 4 kHz), AAC 48 kHz stereo 256 kbit/s
#   /mdeadright 320x240 + PCM 48 kHz stereo: 437 Hz left, right silent
#   /mdarkhum  320x240 of one dark colour (R 0x14, G 0x18, B 0x20) + PCM 48 kHz
#              stereo: 437 Hz at -20 dBFS with 50 Hz at -40 dBFS under it
#   From files, PCM stereo: /minverted 48 kHz 611.9 Hz, right = -left; /mdc 48 kHz
#   611.9 Hz at -20 dBFS plus a DC of 0.02; /mclip 44.1 kHz 437 Hz at -12 dBFS driven
#   6 dB over full scale from 5.0 to 5.3 s; /mgap 48 kHz 437 Hz at -20 dBFS, silent 4.5-7.5 s
# Lip-sync sources (320x240, a white flash each second with a 1000 Hz beep of
# 50 ms, the sound shifted by the offset; stamped exactly):
#   /syncm80 /sync0 /sync120 /sync300   AAC 48 kHz stereo, sound -80, 0, +120, +300 ms
#   /syncm80pcmu /sync120pcmu           G.711 mu-law 8 kHz, -80 and +120 ms
#   /syncflash /syncbeep                flashes without beeps, beeps without flashes (AAC)

_rtsp_h264() { echo "$1 ! video/x-raw,width=$2,height=$3,framerate=25/1 ! videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=1"; }
_sine() { echo "audiotestsrc is-live=true wave=sine freq=$1 volume=$2 ! audio/x-raw,rate=$3,channels=$4"; }  # frequency volume rate channels
_tone437() { echo "$(_sine 437 0.5 "$1" "$2") ! audioconvert"; }  # rate channels
_mulaw() { echo "$(_sine "$1" 0.5 8000 1),format=S16LE ! mulawenc ! rtppcmupay name=pay0"; }  # frequency: G.711 mu-law 8 kHz mono at -6 dBFS
_pcm_pay() { echo "audioconvert ! audio/x-raw,format=S16BE,rate=$1,channels=2 ! rtpL16pay name=${2:-pay0} mtu=4000 min-ptime=20000000 max-ptime=20000000"; }  # rate [payloader]: 16-bit PCM stereo in 20 ms packets
_hum() {  # tone hum rate [payloader]: the tone at -20 dBFS with the hum at -40 dBFS under it
  local f32="audio/x-raw,format=F32LE,rate=$3,channels=2 ! mx."
  echo "audiomixer name=mx ! $(_pcm_pay "$3" "${4:-pay0}") audiotestsrc is-live=true wave=sine freq=$1 volume=0.1 ! $f32 audiotestsrc is-live=true wave=sine freq=$2 volume=0.01 ! $f32"
}

_measure_file() {  # name rate expression: 14 s of 16-bit PCM stereo made by ffmpeg
  local f="$KX_PEERS_DIR/measure-$1.wav"
  ffmpeg -v error -y -f lavfi -i "aevalsrc='$3':s=$2:d=14" -c:a pcm_s16le "$f" || return 1
  echo "filesrc location=$f ! wavparse ! $(_pcm_pay "$2")"
}

peer_start() {
  local script="$KX_SOURCE_DIR/tools/demo-camera/rtsp_camera.py"
  local out="$KX_PEERS_DIR/rtsp-camera.out"
  local m_inverted m_dc m_clip m_gap
  m_inverted=$(_measure_file inverted 48000 '0.1*sin(2*PI*611.9*t)|-0.1*sin(2*PI*611.9*t)') || return 1
  m_dc=$(_measure_file dc 48000 '0.1*sin(2*PI*611.9*t)+0.02|0.1*sin(2*PI*611.9*t)+0.02') || return 1
  m_clip=$(_measure_file clip 44100 'clip(if(between(t,5,5.3),2,0.2512)*sin(2*PI*437*t),-1,1)|clip(if(between(t,5,5.3),2,0.2512)*sin(2*PI*437*t),-1,1)') || return 1
  m_gap=$(_measure_file gap 48000 'if(between(t,4.5,7.5),0,0.1*sin(2*PI*437*t))|if(between(t,4.5,7.5),0,0.1*sin(2*PI*437*t))') || return 1
  local aac="$(_sine 1000 0.5 48000 2) ! audioconvert ! avenc_aac ! rtpmp4gpay name=pay1 pt=97"
  local v320; v320=$(_rtsp_h264 'videotestsrc is-live=true' 320 240)
  /usr/bin/python3 "$script" --demo \
    --mount "/av=$(_rtsp_h264 'videotestsrc is-live=true' 1280 720) $aac" \
    --mount "/video=$(_rtsp_h264 'videotestsrc is-live=true pattern=solid-color foreground-color=0xff3080c0' 320 240)" \
    --mount "/pcmu=$(_mulaw 1000)" \
    --mount "/avsilent=$(_rtsp_h264 'videotestsrc is-live=true pattern=ball' 320 240) audiotestsrc is-live=true wave=silence ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_aac ! rtpmp4gpay name=pay1 pt=97" \
    --mount "/avsmall=$v320 $aac" \
    --mount "/tone437=$(_tone437 48000 1) ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/tone3001=$(_mulaw 3001)" \
    --mount "/avsync=$(_rtsp_h264 'videotestsrc name=synccolor is-live=true pattern=solid-color foreground-color=0xff0000ff' 320 240) audiotestsrc name=synctone is-live=true samplesperbuffer=80 wave=sine freq=437 volume=0 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay1 min-ptime=40000000 max-ptime=40000000" \
    --mount "/slowaudio=$v320 audiotestsrc is-live=true samplesperbuffer=160 wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay1 mtu=2000 min-ptime=200000000 max-ptime=200000000" \
    --mount "/avtcp=$(_rtsp_h264 'videotestsrc is-live=true' 1280 720) $aac" --tcp-only /avtcp \
    --mount "/aac44=$(_tone437 44100 2) ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/aac16=$(_tone437 16000 1) ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/pcma=$(_tone437 8000 1) ! audio/x-raw,format=S16LE ! alawenc ! rtppcmapay name=pay0" \
    --mount "/opus=$(_tone437 48000 2) ! opusenc ! rtpopuspay name=pay0 pt=97" \
    --mount "/lr=$(_sine 1000 0.5 48000 2) ! audiopanorama method=simple panorama=-1 ! $(_pcm_pay 48000)" \
    --mount "/m437=$(_sine 437 0.1 48000 2) ! $(_pcm_pay 48000)" \
    --mount "/m437hum50=$(_hum 437 50 48000)" \
    --mount "/m523hum60=$(_hum 523.3 60 44100)" \
    --mount "/mnoisepcmu=audiotestsrc is-live=true wave=white-noise volume=0.1 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay0" \
    --mount "/mnoiseaac=audiotestsrc is-live=true wave=white-noise volume=0.1 ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_aac bitrate=256000 ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/mdeadright=$v320 $(_sine 437 0.1 48000 2) ! audiopanorama method=simple panorama=-1 ! $(_pcm_pay 48000 pay1)" \
    --mount "/mdarkhum=$(_rtsp_h264 'videotestsrc is-live=true pattern=solid-color foreground-color=0xff141820' 320 240) $(_hum 437 50 48000 pay1)" \
    --sync-mount /syncm80=-80 --sync-mount /sync0=0 --sync-mount /sync120=120 --sync-mount /sync300=300 \
    --sync-mount /syncm80pcmu=-80:pcmu --sync-mount /sync120pcmu=120:pcmu \
    --sync-mount /syncflash=0:aac:flash --sync-mount /syncbeep=0:aac:beep \
    --mount "/minverted=$m_inverted" \
    --mount "/mdc=$m_dc" \
    --mount "/mclip=$m_clip" \
    --mount "/mgap=$m_gap" \
    >"$out" 2>"$KX_PEERS_DIR/rtsp-camera.err" &
  echo $! >"$KX_PEERS_DIR/rtsp-camera.pid"
  kx_wait_until 60 grep -q '^PORT ' "$out" || return 1
  local port; port=$(sed -n 's/^PORT //p' "$out")
  echo "KX_RTSP_CAMERA=rtsp://127.0.0.1:$port" >"$KX_PEERS_DIR/rtsp-camera.env"
}

peer_stop() {
  kx_stop_pid "$KX_PEERS_DIR/rtsp-camera.pid"
}
