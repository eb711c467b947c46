# The camera: GStreamer's RTSP server on 127.0.0.1 with the mounts the tests
# share. Writes KX_RTSP_CAMERA=rtsp://127.0.0.1:PORT.
#   /av     H.264 1280x720 25 fps + AAC 48 kHz stereo 1000 Hz
#   /video  H.264 320x240, one solid colour (R 0x30, G 0x80, B 0xC0), no audio
#   /pcmu   G.711 mu-law 8 kHz mono 1000 Hz, no video
#   /lr     16-bit PCM 48 kHz stereo in 20 ms packets: 1000 Hz on the left, silence on the right
#   /demo   the demo camera's stream
#   /avsmall   H.264 320x240 25 fps + AAC 48 kHz stereo 1000 Hz (about two
#              audio chunks to every picture)
#   /tone437   AAC 48 kHz mono, 437 Hz at -6 dBFS (volume 0.5), no video
#   /tone3001  G.711 mu-law 8 kHz mono, 3001 Hz at -6 dBFS, no video
#   /avsync    H.264 320x240 25 fps + G.711 in 40 ms packets; every second the
#              picture turns red with a 437 Hz tone at -6 dBFS, then blue with
#              silence (elements "synccolor" and "synctone", switched together)
#   /avtcp     as /av, over RTSP on TCP only (a UDP set-up is refused)
#   /aac44     AAC 44.1 kHz stereo 437 Hz at -6 dBFS, no video
#   /aac16     AAC 16 kHz mono 437 Hz at -6 dBFS, no video
#   /pcma      G.711 A-law 8 kHz mono 437 Hz at -6 dBFS, no video
#   /opus      Opus 48 kHz stereo 437 Hz at -6 dBFS, no video
#   /slowaudio H.264 320x240 25 fps + G.711 1000 Hz in 200 ms packets (five
#              pictures to every audio chunk)
# For the sound measurements (16-bit PCM is lossless, so levels are exact;
# the files are made at start and play from their beginning for each client):
#   /m437      PCM 48 kHz stereo, 437 Hz at -20 dBFS
#   /m437hum50 the same with 50 Hz at -40 dBFS mixed under it
#   /m523hum60 PCM 44.1 kHz stereo, 523.3 Hz at -20 dBFS with 60 Hz at -40 dBFS
#   /mnoisepcmu G.711 mu-law 8 kHz: white noise (band under 4 kHz)
#   /mnoiseaac AAC 48 kHz stereo at 256 kbit/s: white noise (wide band)
#   /mdeadright H.264 320x240 + PCM 48 kHz stereo: 437 Hz left, right silent
#   /minverted PCM 48 kHz stereo from a file: 611.9 Hz, right = -left
#   /mdc       PCM 48 kHz stereo from a file: 611.9 Hz at -20 dBFS plus a DC of 0.02
#   /mclip     PCM 44.1 kHz stereo from a file: 437 Hz at -12 dBFS, driven
#              6 dB over full scale (clipped) from 5.0 to 5.3 s
#   /mgap      PCM 48 kHz stereo from a file: 437 Hz at -20 dBFS, silent
#              from 4.5 to 7.5 s
# Lip-sync test sources (H.264 320x240 25 fps, a white flash each second with
# a 1000 Hz beep of 50 ms, the sound shifted by the offset; stamped exactly):
#   /syncm80 /sync0 /sync120 /sync300   AAC 48 kHz stereo, sound -80, 0, +120, +300 ms
#   /syncm80pcmu /sync120pcmu           G.711 mu-law 8 kHz, -80 and +120 ms
#   /syncflash /syncbeep                flashes without beeps, beeps without flashes (AAC)
#   /mdarkhum  H.264 320x240 of one dark colour (R 0x14, G 0x18, B 0x20) + PCM
#              48 kHz stereo: 437 Hz at -20 dBFS with 50 Hz at -40 dBFS under it

_rtsp_h264() {
  echo "$1 ! video/x-raw,width=$2,height=$3,framerate=25/1 ! videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=1"
}

_tone437() {  # rate channels
  echo "audiotestsrc is-live=true wave=sine freq=437 volume=0.5 ! audio/x-raw,rate=$1,channels=$2 ! audioconvert"
}

_pcm_pay() {  # rate: 16-bit PCM stereo in 20 ms packets
  echo "audioconvert ! audio/x-raw,format=S16BE,rate=$1,channels=2 ! rtpL16pay name=pay0 mtu=4000 min-ptime=20000000 max-ptime=20000000"
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
  local aac="audiotestsrc is-live=true wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_aac ! rtpmp4gpay name=pay1 pt=97"
  /usr/bin/python3 "$script" --demo \
    --mount "/av=$(_rtsp_h264 'videotestsrc is-live=true' 1280 720) $aac" \
    --mount "/video=$(_rtsp_h264 'videotestsrc is-live=true pattern=solid-color foreground-color=0xff3080c0' 320 240)" \
    --mount "/pcmu=audiotestsrc is-live=true wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay0" \
    --mount "/avsmall=$(_rtsp_h264 'videotestsrc is-live=true' 320 240) $aac" \
    --mount "/tone437=audiotestsrc is-live=true wave=sine freq=437 volume=0.5 ! audio/x-raw,rate=48000,channels=1 ! audioconvert ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/tone3001=audiotestsrc is-live=true wave=sine freq=3001 volume=0.5 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay0" \
    --mount "/avsync=$(_rtsp_h264 'videotestsrc name=synccolor is-live=true pattern=solid-color foreground-color=0xff0000ff' 320 240) audiotestsrc name=synctone is-live=true samplesperbuffer=80 wave=sine freq=437 volume=0 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay1 min-ptime=40000000 max-ptime=40000000" \
    --mount "/slowaudio=$(_rtsp_h264 'videotestsrc is-live=true' 320 240) audiotestsrc is-live=true samplesperbuffer=160 wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay1 mtu=2000 min-ptime=200000000 max-ptime=200000000" \
    --mount "/avtcp=$(_rtsp_h264 'videotestsrc is-live=true' 1280 720) $aac" --tcp-only /avtcp \
    --mount "/aac44=$(_tone437 44100 2) ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/aac16=$(_tone437 16000 1) ! avenc_aac ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/pcma=$(_tone437 8000 1) ! audio/x-raw,format=S16LE ! alawenc ! rtppcmapay name=pay0" \
    --mount "/opus=$(_tone437 48000 2) ! opusenc ! rtpopuspay name=pay0 pt=97" \
    --mount "/lr=audiotestsrc is-live=true wave=sine freq=1000 volume=0.5 ! audio/x-raw,rate=48000,channels=2 ! audiopanorama method=simple panorama=-1 ! audioconvert ! audio/x-raw,format=S16BE,rate=48000,channels=2 ! rtpL16pay name=pay0 mtu=4000 min-ptime=20000000 max-ptime=20000000" \
    --mount "/m437=audiotestsrc is-live=true wave=sine freq=437 volume=0.1 ! audio/x-raw,rate=48000,channels=2 ! $(_pcm_pay 48000)" \
    --mount "/m437hum50=audiomixer name=mx ! $(_pcm_pay 48000) audiotestsrc is-live=true wave=sine freq=437 volume=0.1 ! audio/x-raw,format=F32LE,rate=48000,channels=2 ! mx. audiotestsrc is-live=true wave=sine freq=50 volume=0.01 ! audio/x-raw,format=F32LE,rate=48000,channels=2 ! mx." \
    --mount "/m523hum60=audiomixer name=mx ! $(_pcm_pay 44100) audiotestsrc is-live=true wave=sine freq=523.3 volume=0.1 ! audio/x-raw,format=F32LE,rate=44100,channels=2 ! mx. audiotestsrc is-live=true wave=sine freq=60 volume=0.01 ! audio/x-raw,format=F32LE,rate=44100,channels=2 ! mx." \
    --mount "/mnoisepcmu=audiotestsrc is-live=true wave=white-noise volume=0.1 ! audio/x-raw,rate=8000,channels=1,format=S16LE ! mulawenc ! rtppcmupay name=pay0" \
    --mount "/mnoiseaac=audiotestsrc is-live=true wave=white-noise volume=0.1 ! audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_aac bitrate=256000 ! rtpmp4gpay name=pay0 pt=97" \
    --mount "/mdeadright=$(_rtsp_h264 'videotestsrc is-live=true' 320 240) audiotestsrc is-live=true wave=sine freq=437 volume=0.1 ! audio/x-raw,rate=48000,channels=2 ! audiopanorama method=simple panorama=-1 ! audioconvert ! audio/x-raw,format=S16BE,rate=48000,channels=2 ! rtpL16pay name=pay1 mtu=4000 min-ptime=20000000 max-ptime=20000000" \
    --mount "/mdarkhum=$(_rtsp_h264 'videotestsrc is-live=true pattern=solid-color foreground-color=0xff141820' 320 240) audiomixer name=mx ! audioconvert ! audio/x-raw,format=S16BE,rate=48000,channels=2 ! rtpL16pay name=pay1 mtu=4000 min-ptime=20000000 max-ptime=20000000 audiotestsrc is-live=true wave=sine freq=437 volume=0.1 ! audio/x-raw,format=F32LE,rate=48000,channels=2 ! mx. audiotestsrc is-live=true wave=sine freq=50 volume=0.01 ! audio/x-raw,format=F32LE,rate=48000,channels=2 ! mx." \
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
