#!/usr/bin/python3
"""Raw acquisition files ("DLV" versions O, R and 2) and a KVDATA02B file with known
contents, and the physical values each must load as.

The values are worked out here from the file layout: value = raw x scale + offset rounded
to single precision (numpy float32); version R exchanges channels 5 and 6 and inverts the
scales from the fifth channel on; version 2 gives a record whose time does not advance
the previous stored time + 0.1 ms. Run with Debian's Python:
    /usr/bin/python3 tools/base_series/make_ts_files.py
Writes base/series/testdata/ts_*.{dlv,kvb} and ts_expected.txt:
    "file <name> <channels> <samples> <start seconds>", "names <n1> <n2> ...", then one
    line per sample: time in ms followed by each channel's value (repr of a float32).
"""
import os
import struct

import numpy as np

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "series", "testdata")
START = 1241179230  # 2009-05-01 12:00:30 UTC


def name32(s):
    return s.encode().ljust(32, b"\0")[:32]


def raw_value(i, c, wide):
    v = (i * 37 + c * 101) % 200 - 100
    if wide:
        v = v * 1000003 + (c - 1) * 2000000000 // 3
    return v


def dlv(version, names, scales, offsets, times, out):
    wide = version == "2"
    old = version in "OR"
    n = len(names)
    b = b"DLV" + version.encode()
    b += struct.pack("<i", START) if old else struct.pack("<q", START)
    b += struct.pack("<h", n)
    for c in range(n):
        b += name32(names[c])
        b += struct.pack("<f", scales[c]) if old else struct.pack("<df", scales[c], offsets[c])
    raws = []
    for i, t in enumerate(times):
        b += struct.pack("<I", t)
        row = [raw_value(i, c, wide) for c in range(n)]
        raws.append(row)
        b += b"".join(struct.pack("<i" if wide else "<h", v) for v in row)
    with open(os.path.join(OUT, out), "wb") as f:
        f.write(b)

    # What the reader must make of it.
    eff_scales = [float(np.float32(s)) if old else s for s in scales]
    eff_offsets = [0.0 if old else float(np.float32(o)) for o in offsets]
    order = list(range(n))
    if version == "R":
        if n >= 6:
            order[4], order[5] = 5, 4
        for c in range(4, n):
            eff_scales[c] = -eff_scales[c]
    stored_times = []
    prev_raw = 0
    for i, t in enumerate(times):
        if wide and i > 0 and t <= prev_raw:
            stored_times.append(stored_times[-1] + 0.1)
        else:
            stored_times.append(float(t))
        prev_raw = t
    lines = ["file %s %d %d %d" % (out, n, len(times), START), "names " + " ".join(names)]
    for i, t in enumerate(stored_times):
        vals = [np.float32(raws[i][order[c]] * eff_scales[c] + eff_offsets[c]) for c in range(n)]
        lines.append(repr(t) + " " + " ".join(repr(float(v)) for v in vals))
    return lines


def kvb(out):
    names = ["Load", "A.Stress"]
    scales = [0.01, -0.5]
    tf = 0.001
    recs = [(i * 250.0, (i * 7 - 10) * 300, -(i * 3) * 1000) for i in range(5)]
    b = b"KVDATA02B binary series\r\n2009/05/01 12:00:30\r\nTime\tLoad\tA.Stress\r\nany text\r\n"
    b += struct.pack("<d", tf) + b"".join(struct.pack("<d", s) for s in scales)
    for t, a, c in recs:
        b += struct.pack("<dhh", t, a, c)
    b += b"\x01\x02\x03"  # a partial record at the end is not a record
    with open(os.path.join(OUT, out), "wb") as f:
        f.write(b)
    lines = ["file %s %d %d %d" % (out, 2, len(recs), START), "names " + " ".join(names)]
    for t, a, c in recs:
        vals = [np.float32(a * scales[0]), np.float32(c * scales[1])]
        lines.append(repr(t * tf * 1000) + " " + " ".join(repr(float(v)) for v in vals))
    return lines


def main():
    os.makedirs(OUT, exist_ok=True)
    lines = ["# made by tools/base_series/make_ts_files.py"]
    times = [100 * i for i in range(12)]
    lines += dlv("O", ["Load", "A.Strain", "AE#1"], [0.01, 0.5, 1.0], [0, 0, 0], times, "ts_old.dlv")
    lines += dlv("R", ["Ch%d" % (c + 1) for c in range(7)], [0.25 * (c + 1) for c in range(7)], [0] * 7, times,
                 "ts_r7.dlv")
    lines += dlv("R", ["Ch%d" % (c + 1) for c in range(5)], [0.25 * (c + 1) for c in range(5)], [0] * 5, times,
                 "ts_r5.dlv")
    wide_times = [0, 10, 20, 20, 15, 30, 40, 50, 60, 70]
    lines += dlv("2", ["Load", "Disp_LVDT", "A.Stress"], [1e-6, 2.5e-7, -3e-5], [0.5, -1.25, 100.0], wide_times,
                 "ts_v2.dlv")
    lines += dlv("N", ["Load", "Strain"], [0.001, 0.002], [10.0, -0.5], times, "ts_new16.dlv")
    lines += kvb("ts_binary.kvb")
    with open(os.path.join(OUT, "ts_expected.txt"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
