#!/usr/bin/env bash
# The installed program as a person meets it: the real executable under the
# test X server, with the PulseAudio and RTSP peers and a fresh HOME each
# time. Keys and the window manager's close message go in through X.
#   program_test.sh PROGRAM X_CLOSE ARTIFACT_DIR
set -uo pipefail
program=$1 xclose=$2 artifacts=$3
mkdir -p "$artifacts"
if [ -z "${DISPLAY:-}" ] || [ -z "${PULSE_SERVER:-}" ] || [ -z "${KX_RTSP_CAMERA:-}" ]; then
  [ -n "${KX_REQUIRE_PEERS:-}" ] && { echo "the X, PulseAudio and camera peers are required"; exit 1; }
  echo "needs the test peers (tests/peers/with-peers)"; exit 77
fi
work=$(mktemp -d /tmp/kxprogram.XXXXXX)
failures=0
children=()
cleanup() {
  local p
  for p in "${children[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# A failure shows the program's own output (a sanitizer report lands there).
fail() {
  echo "FAIL: $*"; failures=$((failures + 1))
  [ -s "${home:-}/out.txt" ] && tail -40 "$home/out.txt" | sed 's/^/  | /'
}
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: polls every 100 ms (a bound against hangs only).
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.1
  done
}

# The first visible top-level window of a process whose name matches.
window_of() { xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -1; }
has_window() { [ -n "$(window_of "$1" "$2")" ]; }
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! kill -0 "$1" 2>/dev/null; }

press() {  # press WINDOW KEY
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key --clearmodifiers "$2"
}

# shot WINDOW FILE: a screenshot; bounded, as import waits for ever on a window
# whose program has died under it.
shot() { timeout 30 import -window "$1" "$2"; }

# exit_code PID: waits for the process (it must have ended) and prints its code.
exit_code() { wait "$1"; echo $?; }

run_program() {  # run_program HOME ARGS... ; sets $pid
  HOME="$1" XDG_CONFIG_HOME= XDG_DATA_HOME= "$program" "${@:2}" >"$1/out.txt" 2>&1 &
  pid=$!
  children+=("$pid")
}

# Each home's settings turn the update check off (empty UpdateUrl): no test asks the maker's real site.
fresh_home() {
  local h; h=$(mktemp -d "$work/home.XXXX")
  mkdir -p "$h/.config/KEXAR" && printf '[Settings]\nUpdateUrl=\n' >"$h/.config/KEXAR/kxToneScope.conf"
  echo "$h"
}

# Mean brightness (0..1) and the spread of the colours of a crop of a PNG.
crop_stats() { convert "$1" -crop "$2" +repage -colorspace sRGB -format '%[fx:mean] %[fx:standard_deviation]' info:; }

# picture_shows WINDOW FILE LABEL: the picture area below the ribbon and the
# info bar of a screenshot holds the test card's bright, strongly coloured bars.
picture_shows() {
  shot "$1" "$2"
  local w h mean spread
  read -r w h < <(identify -format '%w %h' "$2")
  read -r mean spread < <(crop_stats "$2" "$((w * 8 / 10))x$((h / 3))+$((w / 20))+$((h / 3))")
  if awk -v m="$mean" -v s="$spread" 'BEGIN { exit !(m > 0.25 && s > 0.15) }'; then
    pass "$3: picture shows (mean $mean, spread $spread)"
  else
    fail "$3: picture area looks empty (mean $mean, spread $spread)"
  fi
}

# closes_cleanly WINDOW LABEL: the window manager's close message ends the
# program ($pid) with exit code 0.
closes_cleanly() {
  "$xclose" "$1"
  if ! wait_for 20 gone "$pid"; then fail "$2: still running after the close message"; return 1; fi
  local code; code=$(exit_code "$pid")
  [ "$code" = 0 ] && pass "$2: closed, exit 0" || fail "$2: exit $code after close"
}

frequency_of() {  # frequency_of RAW_S16_MONO RATE: the median period between rising zero crossings of the loud part
  /usr/bin/python3 - "$1" "$2" <<'PY'
import array, sys
x = array.array('h'); x.frombytes(open(sys.argv[1], 'rb').read()); rate = int(sys.argv[2])
loud = [i for i, v in enumerate(x) if abs(v) > 328]  # -40 dBFS
if len(loud) < rate // 4: print(0); sys.exit()
ups = [i for i in range(loud[0] + 1, loud[-1]) if x[i - 1] < 0 <= x[i]]
periods = sorted(b - a for a, b in zip(ups, ups[1:]))
if len(periods) < 100: print(0); sys.exit()
# Sub-sample: the mean of the periods around the median (a dropout cannot move it).
mid = periods[len(periods) // 4: 3 * len(periods) // 4]
print(round(rate / (sum(mid) / len(mid)), 1))
PY
}

url="$KX_RTSP_CAMERA/av"

# --- 1. /U: with a fresh HOME: the window, the picture, the tone, Stop/Start,
# the close message, the log and the placement.
home=$(fresh_home)
run_program "$home" "/U:$url"
if ! wait_for 30 has_window "$pid" "^rtsp://"; then
  fail "no main window titled with the address"
else
  win=$(window_of "$pid" "^rtsp://")
  title=$(xdotool getwindowname "$win")
  [ "$title" = "$url" ] && pass "title is the address" || fail "title '$title'"
  PULSE_SERVER=$PULSE_SERVER parec --latency-msec=20 --raw --format=s16le --channels=1 --rate=48000 \
    -d kx_float.monitor >"$work/tone.raw" 2>/dev/null &
  rec=$!
  children+=("$rec")
  press "$win" F5  # Start
  wait_for 30 grep -q 'ThreadProcAV' "$home/.local/share/KEXAR/kxToneScope/"*.log || fail "no decode run in the log"
  # Sound flows from an audio clock of 3 s on (later under a sanitizer): wait for it.
  wait_for 60 grep -q 'Sync Audio' "$home/.local/share/KEXAR/kxToneScope/"*.log || fail "no audio in the log"
  sleep 3
  kill "$rec"; wait "$rec" 2>/dev/null
  f=$(frequency_of "$work/tone.raw" 48000)
  if awk -v f="${f:-0}" 'BEGIN { exit !(f > 990 && f < 1010) }'; then pass "default sink plays ${f} Hz"; else fail "tone on the default sink: '${f}' Hz"; fi
  picture_shows "$win" "$artifacts/program_window.png" "playing"
  press "$win" shift+F5  # Stop
  sleep 1
  n=$(grep -c 'ThreadProcAV done' "$home/.local/share/KEXAR/kxToneScope/"*.log)
  [ "${n:-0}" -ge 1 ] && pass "Stop ended the decode run" || fail "Stop did not end the run"
  press "$win" F5  # Start again
  starts() { test "$(grep -c 'Start ThreadProcAV' "$home/.local/share/KEXAR/kxToneScope/"*.log)" -ge 2; }
  if wait_for 30 starts; then
    pass "Start again opened the camera"
  else
    fail "second Start"; tail -5 "$home/.local/share/KEXAR/kxToneScope/"*.log
  fi
  # Give the window a placement of our own, then close it as a window manager does.
  xdotool windowmove "$win" 40 30 windowsize "$win" 1100 760
  sleep 0.5
  closes_cleanly "$win" "WM_DELETE_WINDOW"
  log=$(ls "$home/.local/share/KEXAR/kxToneScope/"ToneScope*.log 2>/dev/null | head -1)
  if [ -n "$log" ] && grep -q 'ThreadProcAV done' "$log"; then pass "log holds the session's lines"; else fail "log: '$log'"; fi
  grep -q 'kxToneScope' "$home/.config/KEXAR/kxToneScope.conf" && pass "placement saved" || fail "no placement in the settings"

  # The next start comes back where the window was.
  run_program "$home" "/U:$url"
  if wait_for 30 has_window "$pid" "^rtsp://"; then
    win=$(window_of "$pid" "^rtsp://")
    sleep 0.5
    geometry=$(xdotool getwindowgeometry "$win")
    echo "$geometry" | grep -q 'Geometry: 1100x760' && pass "placement restored" || fail "placement: $geometry"
    closes_cleanly "$win" "second run"
  else
    fail "second start shows no window"
  fi
fi

# --- 2. No arguments: the URL dialog comes first; Cancel ends the process
# with no main window.
home=$(fresh_home)
run_program "$home"
if wait_for 30 has_window "$pid" "IP camera"; then
  n=$(xdotool search --onlyvisible --pid "$pid" --name "." | wc -l)
  [ "$n" = 1 ] || fail "$n windows while the URL dialog is up"
  press "$(window_of "$pid" "IP camera")" Escape
  if wait_for 20 gone "$pid"; then
    code=$(exit_code "$pid")
    [ "$code" = 0 ] && pass "Cancel in the URL dialog ends the program" || fail "exit $code after Cancel"
  else
    fail "still running after Cancel"
  fi
else
  fail "no URL dialog without arguments"
fi

# --- 3. /H: only the help box.
home=$(fresh_home)
run_program "$home" /H
if wait_for 30 has_window "$pid" "."; then
  box=$(window_of "$pid" ".")
  shot "$box" "$artifacts/program_help.png"
  n=$(xdotool search --onlyvisible --pid "$pid" --name "." | wc -l)
  [ "$n" = 1 ] && pass "/H shows one box" || fail "/H shows $n windows"
  press "$box" Return
  wait_for 20 gone "$pid" && pass "/H ends after the box" || fail "/H still running"
else
  fail "/H shows nothing"
fi

# --- 4. A URL and an unknown option: "Unknown format" with the help, then the window.
home=$(fresh_home)
run_program "$home" "/U:$url" /X
if wait_for 30 has_window "$pid" "."; then
  box=$(window_of "$pid" ".")
  n=$(xdotool search --onlyvisible --pid "$pid" --name "." | wc -l)
  [ "$n" = 1 ] || fail "$n windows while the message is up: $(xdotool getwindowname "$box")"
  shot "$box" "$artifacts/program_unknown_format.png"
  press "$box" Return
  if wait_for 30 has_window "$pid" "^rtsp://"; then
    pass "after \"Unknown format\" the window opens with the URL"
    closes_cleanly "$(window_of "$pid" "^rtsp://")" "after \"Unknown format\""
  else
    fail "no main window after the message"
  fi
else
  fail "no message for an unknown option"
fi

# --- 5. No sound server: the window opens, the preview runs with its picture
# and the program ends cleanly.
home=$(fresh_home)
PULSE_SERVER=unix:/nonexistent/native run_program "$home" "/U:$url"
if wait_for 30 has_window "$pid" "^rtsp://"; then
  win=$(window_of "$pid" "^rtsp://")
  press "$win" F5
  wait_for 30 grep -q 'Start ThreadProcAV' "$home/.local/share/KEXAR/kxToneScope/"*.log
  sleep 3
  # The camera's picture shows although no device plays its sound.
  picture_shows "$win" "$artifacts/program_no_sound_server.png" "no sound server"
  closes_cleanly "$win" "no sound server"
else
  fail "no sound server: no window"
fi

# --- 6. Closing while the camera is stalled (SIGSTOP) and while it is being
# reconnected (killed a moment before).
for how in stall kill; do
  /usr/bin/python3 "$KX_SOURCE_DIR/tools/demo-camera/rtsp_camera.py" --demo >"$work/cam.out" 2>/dev/null &
  cam=$!
  children+=("$cam")
  wait_for 60 grep -q '^URL ' "$work/cam.out" || { fail "$how: private camera"; continue; }
  camurl=$(sed -n 's/^URL //p' "$work/cam.out" | head -1)
  home=$(fresh_home)
  run_program "$home" "/U:$camurl"
  if wait_for 30 has_window "$pid" "^rtsp://"; then
    win=$(window_of "$pid" "^rtsp://")
    press "$win" F5
    wait_for 30 grep -q 'Start ThreadProcAV' "$home/.local/share/KEXAR/kxToneScope/"*.log
    sleep 2
    if [ "$how" = stall ]; then kill -STOP "$cam"; else kill -9 "$cam"; fi
    sleep 0.5
    closes_cleanly "$win" "$how"
  else
    fail "$how: no window"
  fi
  kill -CONT "$cam" 2>/dev/null; kill -9 "$cam" 2>/dev/null; wait "$cam" 2>/dev/null
done

echo "failures: $failures"
[ "$failures" = 0 ]
