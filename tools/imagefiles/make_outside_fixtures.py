#!/usr/bin/python3
"""Makes the fixtures of pictures as other programs write them, where our decoders once
went wrong: 1-bit TIFF files with a colour map, 4- and 8-bit TIFF files whose white is
zero, and run-length BMP files whose last row ends with end-of-bitmap and no end-of-line.

Run with Debian's /usr/bin/python3 (Pillow) and libtiff-tools from the project root:

    /usr/bin/python3 tools/imagefiles/make_outside_fixtures.py

The TIFF files are written field by field here (and recompressed by tiffcp); their lines
in imagefiles/testdata/tiff/expected.txt (replaced on every run, the other lines kept)
hold the pixels Pillow decodes, in the format of tools/imagefiles_i2/make_fixtures.py.
4-bit grey levels are widened by a shift of four in our images, so for those files the
line holds Pillow's levels (v * 17) as v << 4. The BMP files go to imagefiles/testdata/
with `<name>.rgb` beside them: the encoded picture itself, checked against Pillow.
"""
import os
import struct
import subprocess
import zlib

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "imagefiles", "testdata")
TIFF = os.path.join(OUT, "tiff")
W, H = 37, 11  # an odd width, so that rows end inside a byte


def levels(n):
    """A picture of sample values 0 .. n - 1 with stripes and a diagonal."""
    return [[(x * 3 + y * 5 + (x * y) // 7) % n for x in range(W)] for y in range(H)]


def pack(row, bits):
    out = bytearray((len(row) * bits + 7) // 8)
    for i, v in enumerate(row):
        bit = i * bits
        out[bit // 8] |= v << (8 - bits - bit % 8)
    return bytes(out)


def tiff(path, pic, bits, photometric, colour_map=None):
    """An uncompressed little-endian TIFF with one strip."""
    data = b"".join(pack(row, bits) for row in pic)
    entries = [(256, 3, 1, W), (257, 3, 1, H), (258, 3, 1, bits), (259, 3, 1, 1), (262, 3, 1, photometric),
               (273, 4, 1, 0), (277, 3, 1, 1), (278, 3, 1, H), (279, 4, 1, len(data))]
    extra = b""
    if colour_map is not None:
        entries.append((320, 3, len(colour_map), 0))
        extra = b"".join(struct.pack("<H", v) for v in colour_map)
    ifd_size = 2 + 12 * len(entries) + 4
    map_at = 8 + ifd_size
    data_at = map_at + len(extra)
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        if tag == 273:
            value = data_at
        if tag == 320:
            ifd += struct.pack("<HHII", tag, kind, count, map_at)
        elif kind == 3:
            ifd += struct.pack("<HHIHH", tag, kind, count, value, 0)
        else:
            ifd += struct.pack("<HHII", tag, kind, count, value)
    ifd += struct.pack("<I", 0)
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", 8) + ifd + extra + data)


def crc_line(name, bits, rgb):
    return f"{name} {W} {H} {bits} rgb {zlib.crc32(bytes(rgb)) & 0xFFFFFFFF}"


def pillow_rgb(path):
    with Image.open(path) as im:
        return im.convert("RGB").tobytes()


def make_tiff():
    p = lambda n: os.path.join(TIFF, n)
    lines = []
    # 1 bit with a colour map of two colours that are neither black nor white.
    red = [200 * 257, 20 * 257]
    green = [30 * 257, 180 * 257]
    blue = [40 * 257, 250 * 257]
    tiff(p("pal1_none.tif"), levels(2), 1, 3, red + green + blue)
    subprocess.run(["tiffcp", "-c", "packbits", p("pal1_none.tif"), p("pal1_packbits.tif")], check=True)
    subprocess.run(["tiffcp", "-c", "lzw", p("pal1_none.tif"), p("pal1_lzw.tif")], check=True)
    pic = levels(2)
    truth = b"".join(bytes([red[v] >> 8, green[v] >> 8, blue[v] >> 8]) for row in pic for v in row)
    for name in ("pal1_none.tif", "pal1_packbits.tif", "pal1_lzw.tif"):
        assert pillow_rgb(p(name)) == truth, name
        lines.append(crc_line(name, 1, pillow_rgb(p(name))))
    # Grey levels whose zero is white.
    tiff(p("grey4_minwhite.tif"), levels(16), 4, 0)
    subprocess.run(["tiffcp", "-c", "packbits", p("grey4_minwhite.tif"), p("grey4_minwhite_packbits.tif")],
                   check=True)
    truth = bytes(((15 - v) * 17) for row in levels(16) for v in row for _ in range(3))
    for name in ("grey4_minwhite.tif", "grey4_minwhite_packbits.tif"):
        got = pillow_rgb(p(name))
        assert got == truth, name
        lines.append(crc_line(name, 8, bytes((v // 17) << 4 for v in got)))
    tiff(p("grey8_minwhite.tif"), [[v * 2 + 1 for v in row] for row in levels(128)], 8, 0)
    got = pillow_rgb(p("grey8_minwhite.tif"))
    assert got == bytes(255 - (v * 2 + 1) for row in levels(128) for v in row for _ in range(3))
    lines.append(crc_line("grey8_minwhite.tif", 8, got))

    ours = {line.split()[0] for line in lines}
    manifest = os.path.join(TIFF, "expected.txt")
    with open(manifest) as f:
        kept = [line.rstrip("\n") for line in f if line.strip() and line.split()[0] not in ours]
    with open(manifest, "w") as f:
        f.write("\n".join(kept + lines) + "\n")


def rle_bmp(pic, bits, palette):
    """Bottom-up RLE4 (bits 4) or RLE8 (bits 8): one absolute run and then encoded runs
    of one or two pixels per row; every row but the top one ends with end-of-line, the top one
    with end-of-bitmap alone."""
    data = bytearray()
    for y in range(H - 1, -1, -1):
        row = pic[y]
        # an absolute run first, padded to 16 bits: 5 pixels of RLE8, 6 of RLE4 (Pillow
        # misreads odd absolute runs of RLE4)
        if bits == 8:
            data += bytes([0, 5]) + bytes(row[0:5]) + b"\0"
            x = 5
        else:
            data += bytes([0, 6, (row[0] << 4) | row[1], (row[2] << 4) | row[3], (row[4] << 4) | row[5], 0])
            x = 6
        while x < W:
            n = 2 if x + 1 < W else 1
            if bits == 8:
                if n == 2 and row[x] != row[x + 1]:
                    n = 1
                data += bytes([n, row[x]])
            else:
                lo = row[x + 1] if n == 2 else 0
                data += bytes([n, (row[x] << 4) | lo])
            x += n
        data += b"\x00\x01" if y == 0 else b"\x00\x00"
    colours = len(palette)
    table = b"".join(bytes([b, g, r, 0]) for (r, g, b) in palette)
    off = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, bits, 2 if bits == 4 else 1, len(data), 0, 0, colours, colours)
    return b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off) + info + table + bytes(data)


def make_bmp():
    for bits, n in ((8, 40), (4, 16)):
        palette = [((i * 53) % 256, (i * 97 + 40) % 256, (i * 29 + 200) % 256) for i in range(n)]
        pic = levels(n)
        name = f"bmp_rle{bits}_eob.bmp"
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(rle_bmp(pic, bits, palette))
        truth = b"".join(bytes(palette[v]) for row in pic for v in row)
        assert pillow_rgb(os.path.join(OUT, name)) == truth, name
        with open(os.path.join(OUT, name + ".rgb"), "wb") as f:
            f.write(truth)


if __name__ == "__main__":
    make_tiff()
    make_bmp()
    print("fixtures written under", OUT)
