#!/usr/bin/env bash
# The sound measurements and lip sync in the probe's report: each detector on
# cameras that must and must not trigger it (8 to 48 kHz), lip sync at known
# offsets and on flashes or beeps alone (no figure); one run plays on a sink.
source "$(dirname "$0")/../support/probe_script.sh"
kx_require_peers KX_RTSP_CAMERA

# After the 3 s held back: the files' events (from 4.5 s) in 10 s, 4-5 lip-sync pairs in 9 s.
measured="m437 m437hum50 m523hum60 mnoisepcmu mnoiseaac mdeadright minverted mdc mclip mgap tone437 aac16 video"
synced="syncm80 sync0 sync120 sync300 syncm80pcmu sync120pcmu syncflash syncbeep"
run() {  # NAME MOUNT [OPTIONS...]: the JSON report in NAME.json, eight at a time (cheap to decode)
  local name=$1 mount=$2
  shift 2
  "$probe" "$KX_RTSP_CAMERA/$mount" --measure --json --log-dir "$work" "$@" >"$work/$name.json" 2>"$work/$name.err" &
  [ "$(jobs -rp | wc -l)" -ge 8 ] && wait -n
}
for m in $measured; do run "$m" "$m" --seconds 10 --no-audio; done
for m in $synced; do
  if [ "$m" = sync120 ] && [ -n "${PULSE_SERVER:-}" ]; then run "$m" "$m" --seconds 9; else run "$m" "$m" --seconds 9 --no-audio; fi
done
# Thresholds from the settings store: the DC camera has no finding left.
mkdir -p "$work/config/KEXAR"
printf '[Settings]\nMeasureDcOffsetDbfs=-20\nMeasureNarrowBandHz=100\n' >"$work/config/KEXAR/kxToneScope.conf"
XDG_CONFIG_HOME="$work/config" run mdc-settings mdc --seconds 10 --no-audio
wait
# The text report of one of them carries the same verdict.
"$probe" "$KX_RTSP_CAMERA/mdeadright" --seconds 5 --no-audio --measure --log-dir "$work" >"$work/text.out" 2>&1
echo "text exit code $?" >>"$work/text.out"

/usr/bin/python3 - "$work" $measured $synced <<'PY'
import json, os, sys
work, mounts = sys.argv[1], sys.argv[2:]
FIELDS = ["integrated_lufs", "momentary_max_lufs", "short_term_max_lufs", "loudness_range_lu", "true_peak_dbtp",
          "sample_peak_dbfs", "clipped_samples", "dc_offset_dbfs", "noise_floor_dbfs", "hum_hz", "hum_dbfs",
          "bandwidth_hz", "silent", "longest_silence_s", "balance_db", "correlation", "av_sync", "verdict"]
near = lambda v, x, d: v is not None and abs(v - x) <= d
# mount: (findings that must be there, findings that may be there, check of the figures, exit code)
cases = {
    "m437": ({"narrow_band"}, set(),
             lambda m: near(m["integrated_lufs"], -20.6, 0.3) and near(m["true_peak_dbtp"], -20, 0.2)
             and m["hum_hz"] is None and m["hum_dbfs"] is None and m["correlation"] > 0.99 and m["clipped_samples"] == 0
             and m["silent"] is False and m["bandwidth_hz"] < 600, 3),
    "m437hum50": ({"hum", "narrow_band"}, set(), lambda m: m["hum_hz"] == 50 and near(m["hum_dbfs"], -40, 1), 3),
    "m523hum60": ({"hum", "narrow_band"}, set(), lambda m: m["hum_hz"] == 60 and near(m["hum_dbfs"], -40, 1), 3),
    "mnoisepcmu": ({"narrow_band"}, set(), lambda m: 3000 < m["bandwidth_hz"] < 4000 and m["hum_hz"] is None, 3),
    "mnoiseaac": (set(), set(), lambda m: m["bandwidth_hz"] > 15000 and abs(m["correlation"]) < 0.1, 3),
    "mdeadright": ({"dead_channel", "narrow_band"}, set(), lambda m: m["balance_db"] is None and m["correlation"] is None, 5),
    "minverted": ({"inverted_polarity", "narrow_band"}, set(), lambda m: m["correlation"] < -0.99 and near(m["balance_db"], 0, 0.1), 3),
    "mdc": ({"dc_offset", "narrow_band"}, set(), lambda m: near(m["dc_offset_dbfs"], -33.98, 0.3), 3),
    "mdc-settings": (set(), set(), lambda m: near(m["dc_offset_dbfs"], -33.98, 0.3), 3),
    "mclip": ({"clipping"}, {"too_loud", "narrow_band"},
              lambda m: m["clipped_samples"] > 5000 and m["true_peak_dbtp"] > 0 and m["verdict"][0]["code"] == "clipping"
              and m["verdict"][0]["severity"] == "fault", 3),
    "mgap": ({"silence_gap", "narrow_band"}, set(), lambda m: m["silent"] is True and near(m["longest_silence_s"], 3.0, 0.1), 3),
    # AAC at 48 kHz mono and at 16 kHz: a mono camera is one signal in both channels, no detector fires but loudness and band.
    "tone437": ({"too_loud", "narrow_band"}, set(), lambda m: m["correlation"] > 0.99 and m["hum_hz"] is None and m["clipped_samples"] == 0, 3),
    "aac16": ({"too_loud", "narrow_band"}, set(), lambda m: m["hum_hz"] is None and m["bandwidth_hz"] < 8000, 3),
}
# mount: (offset ms or None for no figure, verdict, exit code)
synced = {"syncm80": (-80, "fault", 5), "sync0": (0, "ok", 0), "sync120": (120, "warning", 0), "sync300": (300, "fault", 5),
          "syncm80pcmu": (-80, "fault", 5), "sync120pcmu": (120, "warning", 0),
          "syncflash": (None, None, 5),  # no sound at all: the silence is a fault of its own
          "syncbeep": (None, None, 0)}
ok = True
for mount in mounts + ["mdc-settings"]:
    text = open(os.path.join(work, mount + ".json")).read()
    try:
        r = json.loads(text)
        m = r["measurements"]
    except (ValueError, KeyError):
        print("FAILED: /%s gave no measurements:" % mount, text, open(os.path.join(work, mount + ".err")).read()); ok = False; continue
    if mount == "video":  # no audio: measurements null
        if m is not None: print("FAILED: /video measurements", m); ok = False
        continue
    problems = []
    if not isinstance(m, dict) or list(m.keys()) != FIELDS or list(m["av_sync"].keys()) != ["offset_ms", "spread_ms", "pairs", "verdict"]:
        print("FAILED: /%s fields %s" % (mount, m)); ok = False; continue
    if mount in cases:
        must, may, check, code = cases[mount]
        found = {v["code"] for v in m["verdict"]}
        if not must <= found or found - must - may:
            problems.append("verdict %s, expected %s (may add %s)" % (sorted(found), sorted(must), sorted(may)))
        if any(set(v) != {"code", "severity", "text"} or not v["text"] for v in m["verdict"]):
            problems.append("verdict entries %s" % m["verdict"])
        if not check(m):
            problems.append("figures")
    else:
        s = m["av_sync"]
        offset, verdict, code = synced[mount]
        if offset is None:
            if s["offset_ms"] is not None or s["spread_ms"] is not None or s["verdict"] is not None or s["pairs"] >= 3:
                problems.append("a figure without both events")
        else:
            # Half a picture at 25 fps plus a margin.
            if s["offset_ms"] is None or abs(s["offset_ms"] - offset) > 25 or s["pairs"] < 3 or s["spread_ms"] > 25:
                problems.append("offset %s ms (spread %s, %s pairs), expected %d" % (s["offset_ms"], s["spread_ms"], s["pairs"], offset))
            if s["verdict"] != verdict:
                problems.append("verdict %s, expected %s" % (s["verdict"], verdict))
            found = [v for v in m["verdict"] if v["code"] == "lip_sync"]
            if (verdict in ("warning", "fault")) != bool(found) or (found and found[0]["severity"] != verdict):
                problems.append("lip_sync finding %s" % found)
    if r["exit_code"] != code:
        problems.append("exit code %d, expected %d" % (r["exit_code"], code))
    print("%s/%s: %s" % ("FAILED: " if problems else "", mount, "; ".join(problems) or sorted(v["code"] for v in m["verdict"])))
    ok = ok and not problems
text = open(os.path.join(work, "text.out")).read()
if "fault: The right channel is dead [dead_channel]" not in text or "text exit code 5" not in text:
    print("FAILED: text report", text); ok = False
sys.exit(0 if ok else 1)
PY
