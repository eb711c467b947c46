#!/usr/bin/env bash
# Lip-sync through the real path: RTSP camera (flash and beep once a second,
# the sound shifted by a known offset) -> session -> measurements -> the
# probe's av_sync. AAC at four offsets, G.711 at two; flashes alone and
# beeps alone give no figure. One run plays into the sound server's sink.
set -uo pipefail
probe=$1
source "$(dirname "$0")/../support/require_peers.sh"
kx_require_peers KX_RTSP_CAMERA
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first 3 s are held back by the session; 6 s after them give 4-5 pairs.
mounts="syncm80 sync0 sync120 sync300 syncm80pcmu sync120pcmu syncflash syncbeep"
for m in $mounts; do
  audio=--no-audio
  [ "$m" = sync120 ] && [ -n "${PULSE_SERVER:-}" ] && audio=
  "$probe" "$KX_RTSP_CAMERA/$m" --seconds 9 $audio --measure --json --log-dir "$work" >"$work/$m.json" 2>"$work/$m.err" &
  [ "$(jobs -rp | wc -l)" -ge 4 ] && wait -n
done
wait

/usr/bin/python3 - "$work" $mounts <<'PY'
import json, os, sys
work, mounts = sys.argv[1], sys.argv[2:]
# mount: (offset ms or None for no figure, verdict, exit code)
cases = {"syncm80": (-80, "fault", 5), "sync0": (0, "ok", 0), "sync120": (120, "warning", 0), "sync300": (300, "fault", 5),
         "syncm80pcmu": (-80, "fault", 5), "sync120pcmu": (120, "warning", 0),
         "syncflash": (None, None, 5),  # no sound at all: the silence is a fault of its own
         "syncbeep": (None, None, 0)}
ok = True
for mount in mounts:
    text = open(os.path.join(work, mount + ".json")).read()
    try:
        r = json.loads(text)
        s = r["measurements"]["av_sync"]
    except (ValueError, KeyError, TypeError):
        print("FAILED: /%s gave no av_sync:" % mount, text, open(os.path.join(work, mount + ".err")).read()); ok = False; continue
    offset, verdict, code = cases[mount]
    problems = []
    if list(s.keys()) != ["offset_ms", "spread_ms", "pairs", "verdict"]:
        problems.append("fields %s" % list(s.keys()))
    elif offset is None:
        if s["offset_ms"] is not None or s["spread_ms"] is not None or s["verdict"] is not None or s["pairs"] >= 3:
            problems.append("a figure without both events")
    else:
        # Half a picture at 25 fps plus a margin.
        if s["offset_ms"] is None or abs(s["offset_ms"] - offset) > 25 or s["pairs"] < 3 or s["spread_ms"] > 25:
            problems.append("offset %s ms (spread %s, %s pairs), expected %d" % (s["offset_ms"], s["spread_ms"], s["pairs"], offset))
        if s["verdict"] != verdict:
            problems.append("verdict %s, expected %s" % (s["verdict"], verdict))
        found = [v for v in r["measurements"]["verdict"] if v["code"] == "lip_sync"]
        if (verdict in ("warning", "fault")) != bool(found) or (found and found[0]["severity"] != verdict):
            problems.append("lip_sync finding %s" % found)
    if r["exit_code"] != code:
        problems.append("exit code %d, expected %d" % (r["exit_code"], code))
    if problems:
        ok = False
        print("FAILED: /%s: %s" % (mount, "; ".join(problems)))
    else:
        print("/%s: %s" % (mount, s))
sys.exit(0 if ok else 1)
PY
