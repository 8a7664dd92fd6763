#!/usr/bin/python3
"""Independent readers of the document's export files, run by the export tests.

    read_exports.py kv PATH           numpy.loadtxt of a KV table (prints rows, columns, SAMPLES)
    read_exports.py g3d PATH          parses the Graphics3D expression (prints element counts)
    read_exports.py w3d PATH          struct reader of the binary point file
    read_exports.py aeb PATH NSENS    struct reader of the AEB event file
    read_exports.py lem PATH          struct reader of the density grid file
    read_exports.py hypodd FOLDER     station.dat and phase.pha in hypoDD's phase format

Each prints "key value" lines; a file that breaks its format prints "ERROR ..." and
exits with status 1. A reader whose module is missing prints "SKIP ..." (status 2).
"""
import math
import os
import re
import struct
import sys


def fail(msg):
    print("ERROR " + msg)
    sys.exit(1)


def read_kv(path):
    try:
        import numpy as np
    except ImportError:
        print("SKIP numpy is not installed")
        sys.exit(2)
    with open(path) as f:
        lines = f.read().split("\n")
    if not (lines[0].startswith("KVDATA01") or lines[0].startswith("!ACOUSTIC_EMISSION")):
        fail("title line " + lines[0])
    head = 0
    samples = None
    for i, l in enumerate(lines[:6]):
        if l.startswith("SAMPLES "):
            samples = int(l.split()[1])
            head = i + 2  # the names line follows
            break
    if samples is None:
        fail("no SAMPLES line")
    names = lines[head - 1].replace("\t", " ").split()
    data = np.loadtxt(path, skiprows=head, ndmin=2)
    if data.size == 0:
        data = data.reshape(0, len(names))
    if not np.all(np.isfinite(data)):
        fail("non-finite values")
    print("samples %d" % samples)
    print("rows %d" % data.shape[0])
    print("columns %d" % data.shape[1])
    print("names %d" % len(names))
    for r in data[:3]:
        print("row " + " ".join(repr(float(v)) for v in r))


TOKEN = re.compile(r"\s*(?:(?P<num>[-+]?\d+\.?\d*(?:[eE][-+]?\d+)?|[-+]?\.\d+)|(?P<name>[A-Za-z][A-Za-z0-9]*)"
                   r"|(?P<arrow>->)|(?P<p>[\[\]{},]))")


def tokens(text):
    pos = 0
    out = []
    while pos < len(text):
        if text[pos:].strip() == "":
            break
        m = TOKEN.match(text, pos)
        if not m or m.end() == pos:
            fail("unexpected text at %d: %r" % (pos, text[pos:pos + 20]))
        pos = m.end()
        for k in ("num", "name", "arrow", "p"):
            if m.group(k) is not None:
                out.append((k, m.group(k)))
    return out


class Parser:
    """expr := num | name | name '[' args ']' | '{' args '}' ; args := expr (',' expr)* ;
    a rule is expr '->' expr."""

    def __init__(self, toks):
        self.t = toks
        self.i = 0

    def peek(self):
        return self.t[self.i] if self.i < len(self.t) else (None, None)

    def take(self, v=None):
        k, s = self.peek()
        if k is None or (v is not None and s != v):
            fail("expected %r, got %r" % (v, s))
        self.i += 1
        return k, s

    def expr(self):
        k, s = self.peek()
        if k == "num":
            self.take()
            e = ("num", float(s))
        elif k == "name":
            self.take()
            if self.peek()[1] == "[":
                self.take("[")
                args = self.args("]")
                self.take("]")
                e = ("call", s, args)
            else:
                e = ("sym", s)
        elif s == "{":
            self.take("{")
            args = self.args("}")
            self.take("}")
            e = ("list", args)
        else:
            fail("unexpected %r" % s)
        if self.peek()[0] == "arrow":
            self.take()
            e = ("rule", e, self.expr())
        return e

    def args(self, close):
        out = []
        if self.peek()[1] == close:
            return out
        out.append(self.expr())
        while self.peek()[1] == ",":
            self.take(",")
            out.append(self.expr())
        return out


def numeric_list(e, depth):
    if depth == 0:
        return e[0] == "num"
    return e[0] == "list" and all(numeric_list(x, depth - 1) for x in e[1])


def read_g3d(path):
    with open(path) as f:
        text = f.read()
    p = Parser(tokens(text))
    top = p.expr()
    if p.i != len(p.t):
        fail("text after the expression")
    if top[0] != "call" or top[1] != "Graphics3D":
        fail("not a Graphics3D expression")
    prims, options = top[2][0], top[2][1:]
    if prims[0] != "list" or len(prims[1]) != 1 or prims[1][0][0] != "list":
        fail("primitives are not {{...}}")
    counts = {}
    for e in prims[1][0][1]:
        if e[0] != "call":
            fail("primitive is not a call")
        name, args = e[1], e[2]
        if name == "Line":
            if len(args) != 1 or not numeric_list(args[0], 2) or any(len(v[1]) != 3 for v in args[0][1]):
                fail("bad Line")
        elif name == "Point":
            if len(args) != 1 or not numeric_list(args[0], 1) or len(args[0][1]) != 3:
                fail("bad Point")
        elif name == "Text":
            if len(args) != 2 or args[0][0] != "sym" or not numeric_list(args[1], 1):
                fail("bad Text")
        elif name == "RGBColor":
            if len(args) != 3 or any(a[0] != "num" or not 0 <= a[1] <= 1 for a in args):
                fail("bad RGBColor")
        elif name == "PointSize":
            if len(args) != 1 or args[0][0] != "num":
                fail("bad PointSize")
        else:
            fail("unknown primitive " + name)
        counts[name] = counts.get(name, 0) + 1
    for o in options:
        if o[0] != "rule" or o[1][0] != "sym":
            fail("option is not a rule")
    for name in sorted(counts):
        print("%s %d" % (name, counts[name]))
    print("options %d" % len(options))
    pts = [e[2][0][1] for e in prims[1][0][1] if e[1] == "Point"]
    for v in pts[:3]:
        print("point %r %r %r" % tuple(x[1] for x in v))


def read_w3d(path):
    with open(path, "rb") as f:
        b = f.read()
    code, n = struct.unpack_from("<hh", b, 0)
    if code != 20:
        fail("code %d" % code)
    if len(b) != 4 + 20 * n:
        fail("size %d for %d points" % (len(b), n))
    print("points %d" % n)
    for k in range(min(n, 3)):
        print("point %r %r %r %r %r" % struct.unpack_from("<5f", b, 4 + 20 * k))


def read_aeb(path, nsens):
    with open(path, "rb") as f:
        b = f.read()
    R = 6 * nsens + 78
    if len(b) % R:
        fail("size %d is not a multiple of %d" % (len(b), R))
    if any(b[:11 * R]):
        fail("leading records not zero")
    n = len(b) // R - 11
    print("size %d" % len(b))
    print("records %d" % n)
    for i in range(n):
        p = (11 + i) * R
        num = struct.unpack_from("<H", b, p)[0]
        head = b[p + 2:p + 18]
        x, y, z, t0, dx, dy, dz, dt = struct.unpack_from("<8f", b, p + 18)
        vx, vy, vz = struct.unpack_from("<3f", b, p + 50)
        if b[p + 62:p + 64] != b"? " or any(b[p + 64:p + 78]):
            fail("record %d filler" % i)
        sens = list(b[p + 78:p + 78 + nsens])
        pol = list(struct.unpack_from("<%db" % nsens, b, p + 78 + nsens))
        tt = list(struct.unpack_from("<%dh" % nsens, b, p + 78 + 2 * nsens))
        sn = list(struct.unpack_from("<%dh" % nsens, b, p + 78 + 4 * nsens))
        print("record %d num %d arrivals %d level %d sec %d xyz %.3f %.3f %.3f v %.3f %.3f %.3f "
              "sensors %s pol %s t %s sn %s" % (
                  i, num, struct.unpack_from("<b", head, 6)[0], struct.unpack_from("<b", head, 7)[0],
                  struct.unpack_from("<i", head, 8)[0], x, y, z, vx, vy, vz,
                  ",".join(map(str, sens)), ",".join(map(str, pol)), ",".join(map(str, tt)),
                  ",".join(map(str, sn))))


def read_lem(path):
    with open(path, "rb") as f:
        b = f.read()
    c1, c2, c3, typ, nx, ny = struct.unpack_from("<6h", b, 0)
    scale, y0, x0, y1, x1, vmin, vmax = struct.unpack_from("<7f", b, 16)
    code, comps, dlen = struct.unpack_from("<3h", b, 44)
    desc = b[50:50 + dlen].decode("latin-1")
    llen = struct.unpack_from("<h", b, 114)[0]
    label = b[116:116 + llen].decode("latin-1")
    if (c1, c2, c3) != (20, 37, 3):
        fail("codes")
    slices = (len(b) - 512) // (8 + nx * ny * typ)
    if 512 + slices * (8 + nx * ny * typ) != len(b):
        fail("size %d" % len(b))
    print("type %d nx %d ny %d slices %d code %d" % (typ, nx, ny, slices, code))
    print("extent %r %r %r %r" % (x0, x1, y0, y1))
    print("range %r %r" % (vmin, vmax))
    print("title %s" % desc)
    print("label %s" % label)
    for s in range(slices):
        p = 512 + s * (8 + nx * ny * typ)
        t = struct.unpack_from("<d", b, p)[0]
        v = struct.unpack_from("<%dd" % (nx * ny), b, p + 8)
        cells = ["%d,%d=%r" % (k % nx, k // nx, x) for k, x in enumerate(v) if x != 0]
        print("slice %d time %r cells %s" % (s, t, " ".join(cells)))


def read_hypodd(folder):
    stations = {}
    with open(os.path.join(folder, "station.dat")) as f:
        for line in f:
            p = line.split()
            if len(p) != 4:
                fail("station line %r" % line)
            if len(p[0]) > 7:
                fail("station code %s" % p[0])
            stations[p[0]] = tuple(float(v) for v in p[1:])
    events = obs = 0
    ids = set()
    with open(os.path.join(folder, "phase.pha")) as f:
        lines = f.read().split("\n")
    if not lines[0].startswith("Phase data (AE). START_TIME:"):
        fail("first line")
    current = None
    for line in lines[1:]:
        if not line.strip():
            continue
        p = line.split()
        if p[0] == "#":
            # "# t x y z mag 0 0 0 id"
            if len(p) != 10:
                fail("event line %r" % line)
            vals = [float(v) for v in p[1:9]]
            eid = int(p[9])
            if eid in ids:
                fail("event id %d twice" % eid)
            ids.add(eid)
            if any(math.isnan(v) for v in vals):
                fail("nan in %r" % line)
            current = eid
            events += 1
            print("event %d t %.4f mag %.2f" % (eid, vals[0], vals[4]))
        else:
            if current is None:
                fail("observation before any event")
            if len(p) != 4 or p[3] not in ("P", "S"):
                fail("observation %r" % line)
            sta, tt, w = p[0], float(p[1]), float(p[2])
            if sta not in stations:
                fail("station %s not in station.dat" % sta)
            if not 0.0 <= w <= 1.0:
                fail("weight %r" % w)
            if not math.isfinite(tt):
                fail("travel time %r" % tt)
            obs += 1
            print("obs %d %s %.2f %.2f" % (current, sta, tt, w))
    print("stations %d" % len(stations))
    print("events %d" % events)
    print("observations %d" % obs)


def main():
    kind = sys.argv[1]
    if kind == "kv":
        read_kv(sys.argv[2])
    elif kind == "g3d":
        read_g3d(sys.argv[2])
    elif kind == "w3d":
        read_w3d(sys.argv[2])
    elif kind == "aeb":
        read_aeb(sys.argv[2], int(sys.argv[3]))
    elif kind == "lem":
        read_lem(sys.argv[2])
    elif kind == "hypodd":
        read_hypodd(sys.argv[2])
    else:
        fail("unknown kind " + kind)


if __name__ == "__main__":
    main()
