#!/usr/bin/env bash
# The real executable under the test X server with the PulseAudio and RTSP peers and a fresh HOME each time;
# keys and the window manager's close message go in through X.  program_test.sh PROGRAM X_CLOSE ARTIFACT_DIR
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
fail() { echo "FAIL: $*"; failures=$((failures + 1)); [ -s "${home:-}/out.txt" ] && tail -40 "$home/out.txt" | sed 's/^/  | /'; }
pass() { echo "ok: $*"; }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; return 1; fi; }

# wait_for SECONDS COMMAND...: polls every 100 ms (a bound against hangs only).
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}

# The first visible top-level window of a process whose name matches; their count.
window_of() { xdotool search --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -1; }
windows() { xdotool search --onlyvisible --pid "$1" --name "." | wc -l; }
has_window() { [ -n "$(window_of "$1" "$2")" ]; }
gone() { ! kill -0 "$1" 2>/dev/null; }
press() { xdotool windowfocus --sync "$1" 2>/dev/null; xdotool key --clearmodifiers "$2"; }  # press WINDOW KEY

# shot WINDOW FILE: bounded, as import waits for ever on a window whose program died under it.
shot() { timeout 30 import -window "$1" "$2"; }
exit_code() { wait "$1"; echo $?; }  # of a process that has ended

run_program() {  # run_program HOME ARGS... ; sets $pid
  HOME="$1" XDG_CONFIG_HOME= XDG_DATA_HOME= "$program" "${@:2}" >"$1/out.txt" 2>&1 &
  pid=$!
  children+=("$pid")
}

# Each home turns the update check off (empty UpdateUrl): no test asks the maker's real site.
fresh_home() {
  local h; h=$(mktemp -d "$work/home.XXXX")
  mkdir -p "$h/.config/KEXAR" && printf '[Settings]\nUpdateUrl=\n' >"$h/.config/KEXAR/kxToneScope.conf"
  echo "$h"
}

# picture_shows WINDOW FILE LABEL: the picture area of a screenshot holds the test card's bright, coloured bars.
picture_shows() {
  shot "$1" "$2"
  local w h stats
  read -r w h < <(identify -format '%w %h' "$2")
  stats=$(convert "$2" -crop "$((w * 8 / 10))x$((h / 3))+$((w / 20))+$((h / 3))" +repage -colorspace sRGB \
    -format '%[fx:mean] %[fx:standard_deviation]' info:)
  check "$3: picture shows ($stats)" awk -v m="${stats% *}" -v s="${stats#* }" 'BEGIN { exit !(m > 0.25 && s > 0.15) }'
}

# closes_cleanly WINDOW LABEL: the window manager's close message ends the program ($pid) with exit code 0.
closes_cleanly() {
  "$xclose" "$1"
  if ! wait_for 20 gone "$pid"; then fail "$2: still running after the close message"; return 1; fi
  check "$2: closed, exit 0" test "$(exit_code "$pid")" = 0
}

url="$KX_RTSP_CAMERA/av"
# --- 1. /U: the window, the picture while the sound flows, Start and Stop by keys, the close message, the log
# and the placement, restored at the next start.
home=$(fresh_home)
run_program "$home" "/U:$url"
if ! wait_for 30 has_window "$pid" "^rtsp://"; then
  fail "no main window titled with the address"
else
  win=$(window_of "$pid" "^rtsp://")
  check "title is the address" test "$(xdotool getwindowname "$win")" = "$url"
  press "$win" F5  # Start
  # Sound flows from an audio clock of 3 s on (later under a sanitizer).
  wait_for 60 grep -q 'Sync Audio' "$home/.local/share/KEXAR/kxToneScope/"*.log || fail "no audio in the log"
  picture_shows "$win" "$artifacts/program_window.png" "playing"
  press "$win" shift+F5  # Stop
  sleep 1
  check "Stop ended the decode run" grep -q 'ThreadProcAV done' "$home/.local/share/KEXAR/kxToneScope/"*.log
  xdotool windowmove "$win" 40 30 windowsize "$win" 1100 760
  sleep 0.5
  closes_cleanly "$win" "WM_DELETE_WINDOW"
  run_program "$home" "/U:$url"
  if wait_for 30 has_window "$pid" "^rtsp://"; then
    win=$(window_of "$pid" "^rtsp://")
    sleep 0.5
    check "placement restored" bash -c "xdotool getwindowgeometry $win | grep -q 'Geometry: 1100x760'"
    closes_cleanly "$win" "second run"
  else
    fail "second start shows no window"
  fi
fi

# --- 2. No arguments: the URL dialog alone; Cancel ends the process.
home=$(fresh_home)
run_program "$home"
if wait_for 30 has_window "$pid" "IP camera"; then
  check "the URL dialog alone" test "$(windows "$pid")" = 1
  press "$(window_of "$pid" "IP camera")" Escape
  check "Cancel in the URL dialog ends the program" wait_for 20 gone "$pid"
  check "exit 0 after Cancel" test "$(exit_code "$pid")" = 0
else
  fail "no URL dialog without arguments"
fi

# --- 3. /H: the help box alone, then the end; a URL and an unknown option: the box alone, then the window.
for args in /H "/U:$url /X"; do
  home=$(fresh_home)
  run_program "$home" $args
  if ! wait_for 30 has_window "$pid" "."; then fail "$args: no box"; continue; fi
  box=$(window_of "$pid" ".")
  check "$args: one box alone" test "$(windows "$pid")" = 1
  shot "$box" "$artifacts/program_box_${args##*/}.png"
  press "$box" Return
  if [ "$args" = /H ]; then
    check "/H ends after the box" wait_for 20 gone "$pid"
  elif check "after \"Unknown format\" the window opens with the URL" wait_for 30 has_window "$pid" "^rtsp://"; then
    closes_cleanly "$(window_of "$pid" "^rtsp://")" "after \"Unknown format\""
  fi
done

# --- 4. No sound server (the picture still shows), and closing while a private camera is stalled (SIGSTOP)
# or reconnected (killed a moment before); each ends cleanly.
for how in nosound stall kill; do
  camurl=$url pulse=unix:/nonexistent/native cam=
  if [ "$how" != nosound ]; then
    /usr/bin/python3 "$KX_SOURCE_DIR/tools/demo-camera/rtsp_camera.py" --demo >"$work/cam.out" 2>/dev/null &
    cam=$!
    children+=("$cam")
    wait_for 60 grep -q '^URL ' "$work/cam.out" || { fail "$how: private camera"; continue; }
    camurl=$(sed -n 's/^URL //p' "$work/cam.out" | head -1) pulse=$PULSE_SERVER
  fi
  home=$(fresh_home)
  PULSE_SERVER=$pulse run_program "$home" "/U:$camurl"
  if wait_for 30 has_window "$pid" "^rtsp://"; then
    win=$(window_of "$pid" "^rtsp://")
    press "$win" F5
    wait_for 30 grep -q 'Start ThreadProcAV' "$home/.local/share/KEXAR/kxToneScope/"*.log
    sleep 2
    case $how in
      nosound) sleep 1; picture_shows "$win" "$artifacts/program_no_sound_server.png" "no sound server" ;;
      stall) kill -STOP "$cam" ;;
      kill) kill -9 "$cam" ;;
    esac
    sleep 0.5
    closes_cleanly "$win" "$how"
  else
    fail "$how: no window"
  fi
  [ -n "$cam" ] && { kill -CONT "$cam" 2>/dev/null; kill -9 "$cam" 2>/dev/null; wait "$cam" 2>/dev/null; }
done

echo "failures: $failures"
[ "$failures" = 0 ]
