#!/usr/bin/python3
"""Times scipy.signal.sosfilt on one record of 16 channels x 8192 samples with the same
fourth-order Butterworth band-pass as bench_base_filter (100-300 kHz at 1 MHz), and, when
given the path of bench_base_filter, runs it and prints the time ratio.

    /usr/bin/python3 bench/base/sosfilt_bench.py [build/bench/base/bench_base_filter]
"""
import re
import subprocess
import sys
import timeit

import numpy as np
from scipy import signal

CHANNELS, SAMPLES = 16, 8192


def scipy_seconds():
    sos = signal.butter(4, [100e3, 300e3], "bandpass", fs=1e6, output="sos")
    i = np.arange(SAMPLES)
    x = np.array([np.sin(0.2 * i + c) + 0.3 * np.sin(0.05 * i * (c + 1)) for c in range(CHANNELS)],
                 dtype=np.float32)
    signal.sosfilt(sos, x, axis=-1)  # warm up
    runs = 50
    best = min(timeit.repeat(lambda: signal.sosfilt(sos, x, axis=-1), number=runs, repeat=5)) / runs
    return best


def main():
    s = scipy_seconds()
    print(f"scipy.signal.sosfilt, {CHANNELS} x {SAMPLES} float32, 8 sections: {s * 1e3:.3f} ms", flush=True)
    if len(sys.argv) > 1:
        out = subprocess.run([sys.argv[1]], check=True, capture_output=True, text=True).stdout
        # The program ends with lines "  <what>: <time> ms".
        for what, ms in re.findall(r"^\s+(KZ_\S+)[^:]*:\s+([0-9.]+) ms$", out, re.M):
            print(f"{what}: {float(ms):.3f} ms, ratio to sosfilt {float(ms) * 1e-3 / s:.2f}")


if __name__ == "__main__":
    sys.exit(main())
