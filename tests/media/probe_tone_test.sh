#!/usr/bin/env bash
# The probe on mono tones off the 50 Hz grid: without an output device it
# still reports the input level and the tone; on the default sink of the sound
# peer the sink records the tone at the level the camera sends (-6.02 dBFS),
# on both sides.
set -uo pipefail
probe=$1
if [ -z "${KX_RTSP_CAMERA:-}" ] || [ -z "${PULSE_SERVER:-}" ]; then
  [ "${KX_REQUIRE_PEERS:-}" = 1 ] && { echo "camera or sound peer missing"; exit 1; }
  echo "no peers: skipped"; exit 77
fi
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
        # The whole recording between the first and the last loud sample: a gap in the sound
        # is a fault of its own (the continuity test counts them), never stepped around here.
        loud = [i for i, v in enumerate(ch) if abs(v) > 1000]
        run = ch[loud[0]:loud[-1] + 1] if loud else []
        crossings = sum(1 for a, b in zip(run, run[1:]) if a < 0 <= b)
        count = len(run)
        seconds = count / 48000.0
        expect(seconds > 0.5 and abs(crossings / seconds - hz) < hz * 0.01,
               "sink side %d tone %.1f Hz near %g over %.2f s" % (side, crossings / seconds if seconds else 0, hz, seconds))
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
