#!/usr/bin/python3
"""Counts what a listener hears as clicks in a recording of a sink's monitor.

  sound_gaps.py FILE [--rate 48000] [--channels 2] [--loud 1000]

FILE is raw signed 16-bit little-endian. Between the first and the last loud
sample (|x| > --loud on any channel), every run of 1 ms or more in which all
channels are exactly zero is a gap. Prints one JSON object: gaps, silent_ms,
longest_ms, sound_s (the span from the first to the last loud sample).
"""
import argparse
import array
import json
import sys


def count_gaps(samples, rate, channels, loud):
    frames = len(samples) // channels
    if frames == 0:
        return {"gaps": 0, "silent_ms": 0.0, "longest_ms": 0.0, "sound_s": 0.0}
    # One value per frame: the largest magnitude over the channels.
    mags = [max(abs(samples[f * channels + c]) for c in range(channels)) for f in range(frames)] \
        if channels > 1 else [abs(v) for v in samples]
    first = next((i for i, m in enumerate(mags) if m > loud), None)
    if first is None:
        return {"gaps": 0, "silent_ms": 0.0, "longest_ms": 0.0, "sound_s": 0.0}
    last = max(i for i in range(len(mags) - 1, first - 1, -1) if mags[i] > loud or i == first)
    minimum = max(1, rate // 1000)
    gaps, silent, longest, run = 0, 0, 0, 0
    for m in mags[first:last + 1] + [1]:
        if m == 0:
            run += 1
            continue
        if run >= minimum:
            gaps += 1
            silent += run
            longest = max(longest, run)
        run = 0
    return {"gaps": gaps, "silent_ms": round(1000.0 * silent / rate, 1),
            "longest_ms": round(1000.0 * longest / rate, 1), "sound_s": round((last - first) / rate, 2)}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("file")
    p.add_argument("--rate", type=int, default=48000)
    p.add_argument("--channels", type=int, default=2)
    p.add_argument("--loud", type=int, default=1000)
    a = p.parse_args()
    data = open(a.file, "rb").read()
    samples = array.array("h", data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    print(json.dumps(count_gaps(samples, a.rate, a.channels, a.loud)))


if __name__ == "__main__":
    main()
