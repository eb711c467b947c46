#!/usr/bin/env bash
# The probe on mono tones off the 50 Hz grid: without an output device it
# still reports the input level and the tone; on the default sink of the sound
# peer the sink records the tone at the level the camera sends (-6.02 dBFS),
# on both sides, at its pitch.
set -uo pipefail
probe=$1
source "$(dirname "$0")/../support/require_peers.sh"
kx_require_peers KX_RTSP_CAMERA PULSE_SERVER
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {  # check JSON EXPECTED_HZ [RECORDING]
  /usr/bin/python3 - "$@" <<'PY'
import json, math, struct, sys
r = json.loads(sys.argv[1]); hz = float(sys.argv[2])
ok = True
def expect(cond, what):
    global ok
    if not cond:
        print("FAILED:", what); ok = False
bin_hz = 48000 / 4096
expect(abs(r["dominant_hz"] - round(hz / bin_hz) * bin_hz) < 0.01, "dominant %.2f Hz is the bin nearest %g Hz" % (r["dominant_hz"], hz))
# A tone near the Nyquist limit of an 8 kHz camera (3001 Hz G.711), upsampled to 48 kHz, peaks
# between its samples and by a mu-law step: up to about 1 dB over, depending on phase. Reading
# low is what a wrong channel gain does (-3 dB), so that side stays tight.
def level_ok(db):
    return db is not None and -6.52 <= db <= -5.02
expect(level_ok(r["peak_dbfs"]), "input peak %s dBFS near -6.02" % r["peak_dbfs"])
expect(r["reconnections"] == 0, "no reconnection")
if len(sys.argv) > 3:
    data = open(sys.argv[3], "rb").read()
    samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
    for side in (0, 1):
        ch = samples[side::2]
        peak = max(abs(v) for v in ch) / 32768.0 if ch else 0
        expect(peak > 0 and level_ok(20 * math.log10(peak)),
               "sink side %d records %.2f dBFS, near -6.02" % (side, 20 * math.log10(peak) if peak else -999))
        # Between the first and the last loud sample, a run of exact zeros of 1 ms or more is a
        # gap (a dry sink: the continuity test weighs them against ffplay's). The pitch is the
        # periods over the time of the unbroken stretches, so a gap never reads as a pitch
        # error; the gaps are counted on their own, and a sound chopped many times fails.
        loud = [i for i, v in enumerate(ch) if abs(v) > 1000]
        run = ch[loud[0]:loud[-1] + 1] if loud else []
        stretches, start, zeros = [], 0, 0
        for i, v in enumerate(list(run) + [0] * 48):
            zeros = zeros + 1 if v == 0 else 0
            if zeros == 48:
                stretches.append((start, i - 47)); start = None
            elif zeros == 0 and start is None:
                start = i
        periods = seconds = 0.0
        for a, b in stretches:
            x = run[a:b]
            t = [i + x[i] / (x[i] - x[i + 1]) for i in range(len(x) - 1) if x[i] < 0 <= x[i + 1]]
            if len(t) > 2:
                periods += len(t) - 1; seconds += (t[-1] - t[0]) / 48000.0
        gaps = len(stretches) - 1
        sound = len(run) / 48000.0
        pitch = periods / seconds if seconds else 0
        print("sink side %d: %.2f Hz over %.2f s of %.2f s, %d gaps" % (side, pitch, seconds, sound, gaps))
        expect(seconds > 0.5 and abs(pitch - hz) < hz * 0.01, "sink side %d tone %.2f Hz near %g" % (side, pitch, hz))
        expect(gaps <= 2 and sound - seconds < 0.2, "sink side %d: %d gaps, %.2f s without the tone" % (side, gaps, sound - seconds))
sys.exit(0 if ok else 1)
PY
}

# No output device: the sound is still analysed.
for mount in tone437:437 tone3001:3001; do
  out=$("$probe" "$KX_RTSP_CAMERA/${mount%%:*}" --seconds 6 --no-audio --json --log-dir "$work" 2>"$work/err")
  echo "$out"
  check "$out" "${mount##*:}" || { echo "--no-audio on /${mount%%:*}"; cat "$work/err"; exit 1; }
done

# Played on the default sink (float 48 kHz stereo), recorded from its monitor.
for mount in tone3001:3001 tone437:437; do
  parec --latency-msec=20 --raw --format=s16le --channels=2 --rate=48000 -d kx_float.monitor >"$work/rec.raw" &
  rec=$!
  out=$("$probe" "$KX_RTSP_CAMERA/${mount%%:*}" --seconds 6 --json --log-dir "$work" 2>"$work/err")
  kill $rec; wait $rec 2>/dev/null
  echo "$out"
  check "$out" "${mount##*:}" "$work/rec.raw" || { echo "played /${mount%%:*}"; cat "$work/err"; exit 1; }
done
exit 0
