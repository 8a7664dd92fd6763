#!/usr/bin/python3
"""Expected ".lm3" grid files of 2-D variables, laid out field by field with struct.

The 512-byte header: int16 20, 37, 3, element type, nx, ny, x step (whole number), 0;
float32 scale, y0, x0, y1, x1, min, max; int16 code, components, description length;
the description with its zero at 50; int16 label length at 114; the label with its zero
at 116; zeros up to 512. A full file then holds a float64 value and the samples, x index
fastest (two-component data: all x components, then all y components).

Run with Debian's Python:
    /usr/bin/python3 tools/base_series/make_grid_files.py
Writes base/types/testdata/grid_*.lm3; the test builds the same variables and compares
its files with these byte by byte.
"""
import math
import os
import struct

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "types", "testdata")


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def header(typ, nx, ny, xstep, scale, x0, x1, y0, y1, vmin, vmax, code, comps, desc, label):
    desc = desc.encode()[:63]
    label = label.encode()[:395]
    h = struct.pack("<8h", 20, 37, 3, typ, nx, ny, int(math.trunc(xstep)), 0)
    h += struct.pack("<7f", scale, y0, x0, y1, x1, vmin, vmax)
    h += struct.pack("<3h", code, comps, len(desc))
    h += desc + b"\0"
    h = h.ljust(114, b"\0")
    h += struct.pack("<h", len(label)) + label + b"\0"
    assert len(h) <= 512
    return h.ljust(512, b"\0")


def samples(values, nx, ny, comps, typ):
    """values[i][j] is a float (scalar) or an (x, y) pair."""
    fmt = "<d" if typ == 8 else "<f"
    out = b""
    for k in range(2 if comps else 1):
        for j in range(ny):
            for i in range(nx):
                v = values[i][j][k] if comps else values[i][j]
                out += struct.pack(fmt, v)
    return out


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)

    # A: the density map's form, 10 x 20 doubles, range computed from the samples.
    nx, ny = 10, 20
    a = [[0.5 * i - 0.25 * j + i * j / 100.0 for j in range(ny)] for i in range(nx)]
    lo = min(min(r) for r in a)
    hi = max(max(r) for r in a)
    x0, x1, y0, y1 = 0.0, 90.0, -10.0, 180.0
    head = header(8, nx, ny, (f32(x1) - f32(x0)) / (nx - 1), 1.0, x0, x1, y0, y1, lo, hi, -1, 1,
                  "Exp 7: AE density, 1/(cm*cm*s)", "sample A")
    body = struct.pack("<d", 2454000.5) + samples(a, nx, ny, 0, 8)
    write("grid_density.lm3", head + body)
    assert len(head + body) == 512 + 8 + nx * ny * 8
    # The same file after its header was rewritten with a count and the experiment title.
    head2 = header(8, nx, ny, (f32(x1) - f32(x0)) / (nx - 1), 1.0, x0, x1, y0, y1, lo, hi, 12, 1,
                   "AE density, 1/(cm*cm*s)", "experiment title")
    write("grid_density_rewritten.lm3", head2 + body)

    # B: two-component floats with a given range and scale.
    nx, ny = 3, 2
    b = [[(i + 0.5 * j, -i * j - 0.25) for j in range(ny)] for i in range(nx)]
    head = header(4, nx, ny, (7.0 - 0.0) / (nx - 1), 2.5, 0.0, 7.0, 1.0, 2.0, 0.0, 5.0, -1, 2, "Flow, m/s", "")
    write("grid_pairs.lm3", head + struct.pack("<d", -1.0) + samples(b, nx, ny, 1, 4))

    # C: a description and a label longer than their fields are cut to them.
    nx, ny = 2, 2
    c = [[1.0, 2.0], [3.0, 4.0]]
    title = "T" * 80
    label = "".join(chr(ord("a") + k % 26) for k in range(450))
    head = header(8, nx, ny, 1.0, 1.0, 0.0, 1.0, 0.0, 1.0, 1.0, 4.0, -1, 1, "P: " + title + ", u", label)
    write("grid_long_texts.lm3", head + struct.pack("<d", 0.0) + samples(c, nx, ny, 0, 8))


if __name__ == "__main__":
    main()
