#!/usr/bin/python3
"""Makes the image-library test fixtures with independent tools.

Run with Debian's /usr/bin/python3 (Pillow) and with ImageMagick and netpbm installed:

    /usr/bin/python3 tools/imagefiles/make_fixtures.py [build-dir]

For every fixture it writes `<name>` (the file as another tool wrote it) and
`<name>.rgb` (what a reference decoder makes of it: RGB bytes, top row first) into
imagefiles/testdata/. The TGA 16-bit expectation follows the 5-bit rule of our format
(v << 3, low bits zero), computed here from the file's own bits.

When a build directory holding tools/imagefiles/write_samples is given, the files that
our writers make are read back with Pillow (PCX with netpbm, EPS rendered by Ghostscript)
and compared with the pattern the writer was given; when they agree they are copied to
imagefiles/testdata/ours/, which the tests compare our writers against byte for byte.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "imagefiles", "testdata")
CONVERT = "/usr/bin/convert-im6.q16"  # ImageMagick itself, not a wrapper on PATH
W, H = 13, 7


def pattern():
    im = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            im.putpixel((x, y), (x * 19 % 256, y * 37 % 256, (x * y * 11 + 5) % 256))
    return im


def run(*args):
    subprocess.run(args, check=True)


def save_rgb(name, im):
    with open(os.path.join(OUT, name + ".rgb"), "wb") as f:
        f.write(im.convert("RGB").tobytes())


def pillow_expect(name):
    with Image.open(os.path.join(OUT, name)) as im:
        save_rgb(name, im)


def netpbm_expect(name, tool):
    ppm = subprocess.run([tool, os.path.join(OUT, name)], check=True, capture_output=True).stdout
    with Image.open(__import__("io").BytesIO(ppm)) as im:
        save_rgb(name, im)


def bits16_expect(name, green6):
    """16-bit BMP: each field x of n bits widened as (x << (8 - n)) | (x >> (2n - 8)),
    read from the file's own words; Pillow (which scales x * 255 / 31) must agree to
    within one level, which confirms the pixel positions."""
    with open(os.path.join(OUT, name), "rb") as f:
        data = f.read()
    off = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    stride = (w * 16 + 31) // 32 * 4
    out = bytearray()
    for y in range(h):
        base = off + (h - 1 - y) * stride
        for x in range(w):
            v = struct.unpack_from("<H", data, base + 2 * x)[0]
            b = v & 31
            if green6:
                g, r = (v >> 5) & 63, (v >> 11) & 31
                g8 = (g << 2) | (g >> 4)
            else:
                g, r = (v >> 5) & 31, (v >> 10) & 31
                g8 = (g << 3) | (g >> 2)
            out += bytes([(r << 3) | (r >> 2), g8, (b << 3) | (b >> 2)])
    with Image.open(os.path.join(OUT, name)) as im:
        ref = im.convert("RGB").tobytes()
    assert max(abs(a - b) for a, b in zip(out, ref)) <= 1, name
    write(name + ".rgb", bytes(out))


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def rle4_bmp(im16):
    """A 4-bit RLE4 bitmap of a 16-colour picture: encoded runs and absolute runs."""
    pal = im16.getpalette()[: 16 * 3]
    pal += [0] * (48 - len(pal))
    px = list(im16.getdata())
    data = bytearray()
    for y in range(H - 1, -1, -1):
        row = px[y * W:(y + 1) * W]
        # first 3 pixels as an absolute run, then encoded runs of one or two colours
        data += bytes([0, 3, (row[0] << 4) | row[1], row[2] << 4])  # 3 nibbles in 2 bytes: padded
        x = 3
        while x < W:
            n = 2 if x + 1 < W else 1
            hi = row[x]
            lo = row[x + 1] if n == 2 else 0
            data += bytes([n, (hi << 4) | lo])
            x += n
        data += b"\x00\x00"
    data += b"\x00\x01"
    table = b"".join(bytes([pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0]) for i in range(16))
    off = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 2, len(data), 0, 0, 16, 16)
    return b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + info + table + bytes(data)


def topdown_bmp(im):
    rows = b""
    for y in range(H):
        row = b"".join(bytes([b, g, r]) for (r, g, b) in (im.getpixel((x, y)) for x in range(W)))
        rows += row + b"\x00" * ((4 - len(row) % 4) % 4)
    info = struct.pack("<IiiHHIIiiII", 40, W, -H, 1, 24, 0, len(rows), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + info + rows


def pcx_rle(line):
    out = bytearray()
    i = 0
    while i < len(line):
        n = 1
        while i + n < len(line) and n < 63 and line[i + n] == line[i]:
            n += 1
        if n == 1 and line[i] < 0xC0:
            out.append(line[i])
        else:
            out += bytes([0xC0 + n, line[i]])
        i += n
    return bytes(out)


def pcx_16(im16, planes, version):
    """16 colours as four bit planes (planes=4) or as 4-bit pixels (planes=1)."""
    pal = im16.getpalette()[: 48]
    pal += [0] * (48 - len(pal))
    px = list(im16.getdata())
    if planes == 4:
        bpl = (W + 7) // 8
        bits = 1
    else:
        bpl = (W + 1) // 2
        bits = 4
    bpl += bpl & 1
    head = struct.pack("<BBBBHHHHHH", 10, version, 1, bits, 0, 0, W - 1, H - 1, 72, 72)
    head += bytes(pal if version != 3 else [0] * 48) + bytes([0, planes]) + struct.pack("<HH", bpl, 1)
    head += bytes(128 - len(head))
    data = b""
    for y in range(H):
        row = px[y * W:(y + 1) * W]
        line = bytearray()
        if planes == 4:
            for p in range(4):
                plane = bytearray(bpl)
                for x, v in enumerate(row):
                    if (v >> p) & 1:
                        plane[x // 8] |= 0x80 >> (x % 8)
                line += plane
        else:
            line = bytearray(bpl)
            for x, v in enumerate(row):
                line[x // 2] |= v << 4 if x % 2 == 0 else v
        data += pcx_rle(bytes(line))
    return head + data


EGA = [(0, 0, 0), (0, 0, 168), (0, 168, 0), (0, 168, 168), (168, 0, 0), (168, 0, 168), (168, 84, 0),
       (168, 168, 168), (84, 84, 84), (84, 84, 252), (84, 252, 84), (84, 252, 252), (252, 84, 84),
       (252, 84, 252), (252, 252, 84), (252, 252, 252)]


def tga16(rle):
    """16-bit true colour; the expectation is computed from the bits themselves."""
    vals = [((x * 2477 + y * 911) & 0x7FFF) for y in range(H) for x in range(W)]
    if rle:
        # rows bottom first; one run packet of 20 pixels crosses a row boundary.
        seq = []
        for y in range(H - 1, -1, -1):
            seq += vals[y * W:(y + 1) * W]
        seq[5:25] = [0x7FFF] * 20
        # rebuild vals from seq for the expectation
        for k, v in enumerate(seq):
            y = H - 1 - k // W
            vals[y * W + k % W] = v
        data = bytearray()
        k = 0
        while k < len(seq):
            if k == 5:
                data += bytes([0x80 | 19]) + struct.pack("<H", 0x7FFF)
                k += 20
            else:
                n = min(7, len(seq) - k, 5 - k if k < 5 else len(seq))
                data += bytes([n - 1]) + b"".join(struct.pack("<H", v) for v in seq[k:k + n])
                k += n
    else:
        data = b"".join(struct.pack("<H", vals[y * W + x]) for y in range(H - 1, -1, -1) for x in range(W))
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 10 if rle else 2, 0, 0, 0, 0, 0, W, H, 16, 0)
    expect = b"".join(bytes([(v >> 7) & 0xF8, (v >> 2) & 0xF8, (v << 3) & 0xF8]) for v in vals)
    return head + bytes(data), expect


def make_fixtures():
    os.makedirs(OUT, exist_ok=True)
    tmp = tempfile.mkdtemp()
    pat = pattern()
    png = os.path.join(tmp, "p.png")
    ppm = os.path.join(tmp, "p.ppm")
    pat.save(png)
    pat.save(ppm)
    q16 = pat.quantize(16)
    q200 = pat.quantize(200)
    q16.convert("RGB").save(os.path.join(tmp, "q16.ppm"))
    q200.save(os.path.join(tmp, "q200.png"))
    mono = pat.convert("L").point(lambda v: 255 if v > 100 else 0).convert("1")

    # BMP
    mono.save(os.path.join(OUT, "bmp_1.bmp"))
    q200.save(os.path.join(OUT, "bmp_8.bmp"))
    with open(os.path.join(OUT, "bmp_4.bmp"), "wb") as f:
        subprocess.run(["ppmtobmp", "-bpp=4", os.path.join(tmp, "q16.ppm")], check=True, stdout=f)
    with open(os.path.join(OUT, "bmp_24.bmp"), "wb") as f:
        subprocess.run(["ppmtobmp", "-bpp=24", ppm], check=True, stdout=f)
    with open(os.path.join(OUT, "bmp_os2_8.bmp"), "wb") as f:
        subprocess.run(["ppmtobmp", "-os2", "-bpp=8", os.path.join(tmp, "q16.ppm")], check=True, stdout=f)
    run(CONVERT, os.path.join(tmp, "q200.png"), "-compress", "RLE", "BMP3:" + os.path.join(OUT, "bmp_rle8.bmp"))
    run(CONVERT, png, "-define", "bmp:subtype=RGB565", os.path.join(OUT, "bmp_565.bmp"))
    run(CONVERT, png, "-define", "bmp:subtype=RGB555", os.path.join(OUT, "bmp_555.bmp"))
    pat.convert("RGBA").save(os.path.join(OUT, "bmp_32.bmp"))
    write("bmp_rle4.bmp", rle4_bmp(q16))
    write("bmp_topdown.bmp", topdown_bmp(pat))
    for n in ["bmp_1.bmp", "bmp_8.bmp", "bmp_4.bmp", "bmp_24.bmp", "bmp_os2_8.bmp", "bmp_rle8.bmp",
              "bmp_32.bmp", "bmp_topdown.bmp"]:
        pillow_expect(n)
    # Pillow misplaces the nibbles behind an odd absolute run of RLE4: the truth is the
    # picture that was encoded.
    save_rgb("bmp_rle4.bmp", q16)
    for n, green6 in (("bmp_555.bmp", False), ("bmp_565.bmp", True)):
        bits16_expect(n, green6)

    # PCX
    mono.save(os.path.join(OUT, "pcx_1.pcx"))
    q200.save(os.path.join(OUT, "pcx_8.pcx"))
    pat.convert("L").save(os.path.join(OUT, "pcx_grey.pcx"))
    pat.save(os.path.join(OUT, "pcx_24.pcx"))
    for n in ["pcx_1.pcx", "pcx_8.pcx", "pcx_grey.pcx", "pcx_24.pcx"]:
        pillow_expect(n)
    write("pcx_4plane.pcx", pcx_16(q16, 4, 5))
    write("pcx_4bit.pcx", pcx_16(q16, 1, 5))
    netpbm_expect("pcx_4plane.pcx", "pcxtoppm")
    netpbm_expect("pcx_4bit.pcx", "pcxtoppm")
    # Version 3 has no palette: the 16 standard colours apply.
    write("pcx_4plane_v3.pcx", pcx_16(q16, 4, 3))
    with open(os.path.join(OUT, "pcx_4plane_v3.pcx.rgb"), "wb") as f:
        f.write(b"".join(bytes(EGA[v]) for v in q16.getdata()))

    # TGA
    pat.save(os.path.join(OUT, "tga_24.tga"))
    pat.save(os.path.join(OUT, "tga_24rle.tga"), compression="tga_rle")
    pat.save(os.path.join(OUT, "tga_24top.tga"), orientation=1)
    pat.convert("L").save(os.path.join(OUT, "tga_grey.tga"))
    pat.convert("L").save(os.path.join(OUT, "tga_greyrle.tga"), compression="tga_rle")
    q200.save(os.path.join(OUT, "tga_map.tga"))
    q200.save(os.path.join(OUT, "tga_maprle.tga"), compression="tga_rle")
    pat.convert("RGBA").save(os.path.join(OUT, "tga_32rle.tga"), compression="tga_rle")
    for n in ["tga_24.tga", "tga_24rle.tga", "tga_24top.tga", "tga_grey.tga", "tga_greyrle.tga", "tga_map.tga",
              "tga_maprle.tga", "tga_32rle.tga"]:
        pillow_expect(n)
    for rle in (False, True):
        name = "tga_16rle.tga" if rle else "tga_16.tga"
        data, expect = tga16(rle)
        write(name, data)
        write(name + ".rgb", expect)

    # Third-party samples: the BMP is the reference picture of the PCX and TGA samples.
    with Image.open(os.path.join(OUT, "sample.bmp")) as ref:
        save_rgb("sample.bmp", ref)
    shutil.rmtree(tmp)


def check_ours(build):
    """Reads our writers' files back with independent decoders."""
    tool = os.path.join(build, "tools", "imagefiles", "write_samples")
    tmp = tempfile.mkdtemp()
    run(tool, tmp)
    truth = {}
    with open(os.path.join(tmp, "truth.txt")) as f:
        for line in f:
            name, rgb = line.split()
            truth[name] = rgb
    ours = os.path.join(OUT, "ours")
    os.makedirs(ours, exist_ok=True)
    for name, rgb in sorted(truth.items()):
        path = os.path.join(tmp, name)
        with open(os.path.join(tmp, rgb), "rb") as f:
            want = f.read()
        w, h = struct.unpack("<II", want[:8])
        want = want[8:]
        if name.endswith(".bif"):
            with open(path, "rb") as f:
                got = Image.frombytes("L", (w, h), f.read()).convert("RGB").tobytes()
        elif name.endswith(".pcx"):
            # Pillow shows 1-bit PCX files black and white; netpbm honours their palette.
            ppm = subprocess.run(["pcxtoppm", path], check=True, capture_output=True).stdout
            with Image.open(__import__("io").BytesIO(ppm)) as im:
                got = im.convert("RGB").tobytes()
            with Image.open(path) as im:
                if im.mode != "1" and im.convert("RGB").tobytes() != got:
                    sys.exit("%s: Pillow and netpbm disagree" % name)
        elif name.endswith(".eps"):
            ppm = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-r72",
                                  "-sDEVICE=ppmraw", "-sOutputFile=-", path], check=True,
                                 capture_output=True).stdout
            with Image.open(__import__("io").BytesIO(ppm)) as im:
                got = im.convert("RGB").tobytes()
        else:
            with Image.open(path) as im:
                got = im.convert("RGB").tobytes()
        if got != want:
            sys.exit("%s: the reference decoder does not give the picture that was written" % name)
        shutil.copy(path, os.path.join(ours, name))
        print("ok", name)
    shutil.rmtree(tmp)


if __name__ == "__main__":
    make_fixtures()
    if len(sys.argv) > 1:
        check_ours(sys.argv[1])
