#!/usr/bin/python3
"""The peer of bench_base_filter: scipy.signal.sosfilt on the record and with the very
sections the program wrote into <folder>.

    /usr/bin/python3 bench/base/sosfilt_bench.py <folder> <repetitions>

Reads <folder>/record.f32 (channels x samples float32, one line "channels samples" in
record.txt) and, for every <name>.sos (rows b0 b1 b2 a0 a1 a2), filters each channel
forward, writes the output as float64 to <name>.out and prints "<name> <seconds>": the
median over the repetitions of the time of one pass over the record.

For the check of our filters' arithmetic it also writes <name>.chain.out from
<name>.chain (first line "gain <g>", then the sections without the gain): the sections
one after another, each output rounded to float32 as our filters store their samples,
then the gain, rounded to float32. That is not timed.
"""
import glob
import os
import sys
import time

import numpy as np
from scipy import signal


def main():
    folder, reps = sys.argv[1], int(sys.argv[2])
    with open(os.path.join(folder, "record.txt")) as f:
        channels, samples = (int(v) for v in f.read().split())
    x = np.fromfile(os.path.join(folder, "record.f32"), dtype=np.float32).reshape(channels, samples)
    x = x.astype(np.float64)  # the program's filters compute in double as well
    for path in sorted(glob.glob(os.path.join(folder, "*.sos"))):
        name = os.path.splitext(os.path.basename(path))[0]
        sos = np.loadtxt(path, ndmin=2)
        y = signal.sosfilt(sos, x, axis=-1)  # warm up, and the output to check
        y.tofile(os.path.join(folder, name + ".out"))
        runs, times = 20, []
        for _ in range(reps):
            t0 = time.perf_counter()
            for _ in range(runs):
                signal.sosfilt(sos, x, axis=-1)
            times.append((time.perf_counter() - t0) / runs)
        print(f"{name} {np.median(times):.9f}", flush=True)
        chain = os.path.join(folder, name + ".chain")
        if os.path.exists(chain):
            with open(chain) as f:
                gain = float(f.readline().split()[1])
            sections = np.loadtxt(chain, skiprows=1, ndmin=2)
            z = x
            for section in sections:
                z = signal.sosfilt(section[np.newaxis, :], z, axis=-1)
                z = z.astype(np.float32).astype(np.float64)
            z = (z * gain).astype(np.float32).astype(np.float64)
            z.tofile(os.path.join(folder, name + ".chain.out"))


if __name__ == "__main__":
    sys.exit(main())
