#!/usr/bin/python3
"""Times numpy's loadtxt and savetxt on a KV table file written by bench_kvtable.

    /usr/bin/python3 numpy_kvtable.py <table.kv0> <head lines> <rows> <repetitions>

Prints "loadtxt <seconds>" and "savetxt <seconds>", the median of the repetitions, and
"sum <value>" and "count <value>" of the values loadtxt read, for the program's check. The
rows are read past the table's head lines; savetxt writes them back with "%f " per value
as the table writer does.
"""
import os
import sys
import time

import numpy as np


def median_time(fn, reps):
    times = []
    for _ in range(reps):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return float(np.median(times))


def main():
    path, head, rows, reps = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
    data = np.loadtxt(path, skiprows=head, max_rows=rows)
    out = path + ".numpy"
    print("loadtxt %.9f" % median_time(lambda: np.loadtxt(path, skiprows=head, max_rows=rows), reps))
    print("savetxt %.9f" % median_time(lambda: np.savetxt(out, data, fmt="%f", delimiter=" "), reps))
    print("sum %.17g" % float(np.sum(data)))
    print("count %d" % data.size)
    os.remove(out)


if __name__ == "__main__":
    main()
