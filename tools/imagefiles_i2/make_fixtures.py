#!/usr/bin/python3
"""Makes the PNG, TIFF and GIF fixtures of the image codecs' tests and their expected
pixels, with independent tools only (Pillow, libtiff's tiffcp, ImageMagick).

Run with Debian's /usr/bin/python3 from the project root:
    /usr/bin/python3 tools/imagefiles_i2/make_fixtures.py
It copies the third-party samples from ../shared/testdata, writes generated files into
imagefiles/testdata/{png,tiff,gif}/ and one expected.txt per folder. Each line of
expected.txt reads "<file> <width> <height> <bits> <kind> <crc32>": bits is the depth the
library loads the file into, kind is "rgb" (CRC-32 of the red, green, blue bytes of every
pixel, rows top to bottom, as the reference decoder sees them with any alpha dropped) or
"u16" (CRC-32 of 16-bit grey samples stored little-endian).
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

import numpy as np
from PIL import Image

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SHARED = os.path.abspath(os.path.join(ROOT, "..", "..", "shared", "testdata"))
if not os.path.isdir(SHARED):
    SHARED = "/work/shared/testdata"
OUT = os.path.join(ROOT, "imagefiles", "testdata")


def source(w=67, h=45, seed=1):
    """A deterministic RGB picture: gradients, discs and some noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w]
    r = (x * 255 // max(w - 1, 1)).astype(np.int32)
    g = (y * 255 // max(h - 1, 1)).astype(np.int32)
    b = ((x + y) * 7 % 256).astype(np.int32)
    disc = (x - w / 3) ** 2 + (y - h / 2) ** 2 < (min(w, h) / 4) ** 2
    r[disc] = 250
    g[disc] = 30
    noise = rng.integers(0, 40, size=(h, w))
    b = (b + noise) % 256
    return np.dstack([r, g, b]).astype(np.uint8)


def crc(data):
    return zlib.crc32(bytes(data)) & 0xFFFFFFFF


def expected_rgb(path):
    im = Image.open(path)
    im.load()
    if im.mode in ("I;16", "I;16B", "I;16L", "I"):
        a = np.array(im, dtype=np.uint32) >> 8
        rgb = np.dstack([a, a, a]).astype(np.uint8)
    else:
        if im.mode in ("LA", "PA"):
            im = im.convert("RGBA")
        rgb = np.array(im.convert("RGB"), dtype=np.uint8)
    return im.size, crc(rgb.tobytes())


def expected_u16(path):
    im = Image.open(path)
    a = np.array(im, dtype=np.uint16)
    return im.size, crc(a.astype("<u2").tobytes())


def run(*args):
    subprocess.run(list(args), check=True)


class Manifest:
    def __init__(self, folder):
        self.folder = folder
        self.lines = []

    def add(self, name, bits, kind="rgb"):
        path = os.path.join(self.folder, name)
        (w, h), c = expected_u16(path) if kind == "u16" else expected_rgb(path)
        self.lines.append(f"{name} {w} {h} {bits} {kind} {c}")

    def write(self):
        with open(os.path.join(self.folder, "expected.txt"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


ADAM7 = ((0, 8, 0, 8), (0, 8, 4, 8), (4, 8, 0, 4), (0, 4, 2, 4), (2, 4, 0, 2), (0, 2, 1, 2), (1, 2, 0, 1))


def pack_row(samples, depth):
    """Packs a row of samples (a 1-D sequence) at the bit depth, big-endian for 16 bits."""
    samples = np.asarray(samples)
    if depth == 16:
        return samples.astype(">u2").tobytes()
    if depth == 8:
        return samples.astype(np.uint8).tobytes()
    per = 8 // depth
    out = bytearray((len(samples) + per - 1) // per)
    for i, v in enumerate(samples):
        out[i // per] |= int(v) << (8 - depth * (i % per + 1))
    return bytes(out)


def hand_png(path, samples, colour_type, depth, interlace=False, split=0, extra=b"", plte=None):
    """A PNG written chunk by chunk from an array of samples (h x w x channels): rows with
    filter None (Adam7 passes when interlaced), IDAT optionally split into pieces of `split`
    bytes, and optional extra chunks before the image data."""
    h, w = samples.shape[:2]
    flat = samples.reshape(h, -1)
    ch = samples.shape[2] if samples.ndim == 3 else 1
    raw = b""
    if interlace:
        for fr, rs, fc, cs in ADAM7:
            if fc >= w:
                continue
            for y in range(fr, h, rs):
                px = samples[y, fc::cs].reshape(-1)
                raw += b"\0" + pack_row(px, depth)
    else:
        for y in range(h):
            raw += b"\0" + pack_row(flat[y], depth)
    z = zlib.compress(raw, 9)
    out = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 1 if interlace else 0))
    if plte is not None:
        out += png_chunk(b"PLTE", bytes(np.asarray(plte, dtype=np.uint8).reshape(-1)))
    out += extra
    pieces = [z[i:i + split] for i in range(0, len(z), split)] if split else [z]
    for p in pieces:
        out += png_chunk(b"IDAT", p)
    out += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(out)


def make_png():
    folder = os.path.join(OUT, "png")
    os.makedirs(folder, exist_ok=True)
    m = Manifest(folder)
    suite = {"basn0g01.png": 1, "basn0g08.png": 8, "basn2c08.png": 24, "basn2c16.png": 24,
             "basn3p08.png": 8, "basn4a08.png": 8, "basn6a08.png": 24, "basi2c08.png": 24}
    for name, bits in suite.items():
        shutil.copyfile(os.path.join(SHARED, "png", name), os.path.join(folder, name))
        m.add(name, bits)

    src = Image.fromarray(source())
    grey = src.convert("L")
    p = lambda n: os.path.join(folder, n)
    grey.convert("1").save(p("g_grey1.png"))
    m.add("g_grey1.png", 1)
    grey.save(p("g_grey8.png"))
    m.add("g_grey8.png", 8)
    for bits, colours in ((1, 2), (2, 4), (4, 16), (8, 200)):
        name = f"g_pal{bits}.png"
        src.quantize(colours).save(p(name), bits=bits)
        m.add(name, 1 if bits == 1 else 8)
    Image.fromarray((np.array(grey, dtype=np.uint16) * 257 + 3).astype(np.uint16)).save(p("g_grey16.png"))
    m.add("g_grey16.png", 8)
    la = Image.merge("LA", (grey, grey.point(lambda v: 255 - v)))
    la.save(p("g_ga8.png"))
    m.add("g_ga8.png", 8)
    src.save(p("g_rgb8.png"))
    m.add("g_rgb8.png", 24)
    rgba = src.copy()
    rgba.putalpha(grey)
    rgba.save(p("g_rgba8.png"))
    m.add("g_rgba8.png", 24)
    # ImageMagick writes the depths and interlaced files Pillow does not.
    src.save("/tmp/tv_src.png")
    rgba.save("/tmp/tv_rgba.png")
    la.save("/tmp/tv_la.png")
    im = [
        ("g_grey2.png", 8, ["-colorspace", "Gray", "-depth", "2", "-define", "png:color-type=0", "-define", "png:bit-depth=2"], "/tmp/tv_src.png"),
        ("g_grey4.png", 8, ["-colorspace", "Gray", "-depth", "4", "-define", "png:color-type=0", "-define", "png:bit-depth=4"], "/tmp/tv_src.png"),
        ("g_rgb8_i.png", 24, ["-interlace", "PNG", "-define", "png:color-type=2", "-depth", "8"], "/tmp/tv_src.png"),
        ("g_grey1_i.png", 1, ["-colorspace", "Gray", "-threshold", "50%", "-interlace", "PNG", "-define", "png:color-type=0", "-define", "png:bit-depth=1"], "/tmp/tv_src.png"),
        ("g_grey16_i.png", 8, ["-colorspace", "Gray", "-depth", "16", "-interlace", "PNG", "-define", "png:color-type=0"], "/tmp/tv_src.png"),
        ("g_rgba8_i.png", 24, ["-interlace", "PNG", "-define", "png:color-type=6", "-depth", "8"], "/tmp/tv_rgba.png"),
    ]
    for name, bits, opts, inp in im:
        run("convert", inp, *opts, "PNG:" + p(name))
        m.add(name, bits)
    # Tiny interlaced images, where some passes hold no pixels.
    for w, h in ((1, 1), (3, 3), (5, 2)):
        name = f"g_tiny{w}x{h}_i.png"
        Image.fromarray(source(w, h, seed=w)).save("/tmp/tv_tiny.png")
        run("convert", "/tmp/tv_tiny.png", "-interlace", "PNG", "-define", "png:color-type=2", "-depth", "8", "PNG:" + p(name))
        m.add(name, 24)
    # Written chunk by chunk: 16-bit samples whose low bytes differ from their high bytes,
    # interlaced sub-byte palettes and grey levels, image data split over many IDAT chunks
    # behind an unlisted ancillary chunk.
    rng = np.random.default_rng(9)
    src16 = source().astype(np.uint16) * 256 + rng.integers(0, 256, size=(45, 67, 3)).astype(np.uint16)
    alpha16 = rng.integers(0, 65536, size=(45, 67, 1)).astype(np.uint16)
    hand_png(p("g_rgb16.png"), src16, 2, 16)
    m.add("g_rgb16.png", 24)
    hand_png(p("g_rgba16.png"), np.concatenate([src16, alpha16], axis=2), 6, 16, interlace=True)
    m.add("g_rgba16.png", 24)
    hand_png(p("g_ga16.png"), np.concatenate([src16[:, :, 1:2], alpha16], axis=2), 4, 16)
    m.add("g_ga16.png", 8)
    idx4 = rng.integers(0, 16, size=(45, 67))
    plte = rng.integers(0, 256, size=(16, 3))
    hand_png(p("g_pal4_i.png"), idx4, 3, 4, interlace=True, plte=plte)
    m.add("g_pal4_i.png", 8)
    hand_png(p("g_pal2_i.png"), idx4 % 4, 3, 2, interlace=True, plte=plte[:4])
    m.add("g_pal2_i.png", 8)
    hand_png(p("g_grey2_i.png"), idx4 % 4, 0, 2, interlace=True)
    m.add("g_grey2_i.png", 8)
    hand_png(p("g_ga8_i.png"), np.dstack([idx4 * 16, idx4]).astype(np.uint8), 4, 8, interlace=True)
    m.add("g_ga8_i.png", 8)
    hand_png(p("g_split_idat.png"), source(23, 9, seed=4), 2, 8, split=7, extra=png_chunk(b"prVt", b"private data"))
    m.add("g_split_idat.png", 24)
    m.write()
    with open(os.path.join(folder, "SOURCES.md"), "w") as f:
        f.write(
            "# PNG fixtures\n\n"
            "- `bas*.png`: PngSuite (c) Willem van Schaik, copied unchanged from\n"
            "  ../shared/testdata/png (image-rs/image-png `tests/pngsuite/`); \"Permission to use,\n"
            "  copy, modify and distribute these images for any purpose and without fee is hereby\n"
            "  granted.\"\n"
            "- `g_*.png`: written by tools/imagefiles_i2/make_fixtures.py with Pillow, ImageMagick\n"
            "  and zlib from a synthetic picture.\n"
            "- `expected.txt`: the pixels Pillow decodes from each file (see the script).\n")


def make_tiff():
    folder = os.path.join(OUT, "tiff")
    os.makedirs(folder, exist_ok=True)
    m = Manifest(folder)
    for name in ("blue-purple-pink.lzwcompressed.tiff", "blue-purple-pink.png",
                 "bw-gopher_ccittGroup4.tiff", "bw-gopher.png"):
        shutil.copyfile(os.path.join(SHARED, "tiff", name), os.path.join(folder, name))
    m.add("blue-purple-pink.lzwcompressed.tiff", 24)
    m.add("bw-gopher_ccittGroup4.tiff", 1)
    p = lambda n: os.path.join(folder, n)
    src = Image.fromarray(source())
    grey = src.convert("L")
    bw = grey.point(lambda v: 255 if v > 110 else 0).convert("1")
    pal = src.quantize(60)
    src.save(p("rgb_none.tif"))
    m.add("rgb_none.tif", 24)
    src.save(p("rgb_lzw.tif"), compression="tiff_lzw")
    m.add("rgb_lzw.tif", 24)
    run("tiffcp", "-c", "lzw:2", "-r", "8", p("rgb_none.tif"), p("rgb_lzw_pred_strips.tif"))
    m.add("rgb_lzw_pred_strips.tif", 24)
    run("tiffcp", "-B", "-c", "none", "-r", "5", p("rgb_none.tif"), p("rgb_none_be.tif"))
    m.add("rgb_none_be.tif", 24)
    rgba = src.copy()
    rgba.putalpha(grey)
    rgba.save(p("rgba_none.tif"))
    m.add("rgba_none.tif", 24)
    rgba.save(p("rgba_lzw.tif"), compression="tiff_lzw")
    m.add("rgba_lzw.tif", 24)
    grey.save(p("grey8_packbits.tif"), compression="packbits")
    m.add("grey8_packbits.tif", 8)
    grey.save(p("grey8_none.tif"))
    run("tiffcp", "-f", "lsb2msb", "-c", "none", p("grey8_none.tif"), p("grey8_fill2.tif"))
    m.add("grey8_fill2.tif", 8)
    run("tiffcp", "-B", "-c", "lzw:2", "-r", "4", p("grey8_none.tif"), p("grey8_lzw_pred_be.tif"))
    m.add("grey8_lzw_pred_be.tif", 8)
    os.remove(p("grey8_none.tif"))
    pal.save(p("pal8_lzw.tif"), compression="tiff_lzw")
    m.add("pal8_lzw.tif", 8)
    run("convert", "/tmp/tv_src.png", "-colors", "16", "-depth", "4", "-type", "Palette", "-compress", "None", "TIFF:" + p("pal4_none.tif"))
    m.add("pal4_none.tif", 8)
    run("convert", "/tmp/tv_src.png", "-colors", "16", "-depth", "4", "-type", "Palette", "-compress", "RLE", "TIFF:" + p("pal4_packbits.tif"))
    m.add("pal4_packbits.tif", 8)
    g16 = Image.fromarray((np.array(grey, dtype=np.uint16) * 257 + 5).astype(np.uint16))
    g16.save(p("grey16_none.tif"))
    m.add("grey16_none.tif", 16, "u16")
    run("tiffcp", "-B", "-c", "none", p("grey16_none.tif"), p("grey16_none_be.tif"))
    m.add("grey16_none_be.tif", 16, "u16")
    for name, comp in (("bw_none.tif", "raw"), ("bw_packbits.tif", "packbits"), ("bw_lzw.tif", "tiff_lzw"),
                       ("bw_ccitt_rle.tif", "tiff_ccitt"), ("bw_g3.tif", "group3"), ("bw_g4.tif", "group4")):
        bw.save(p(name), compression=comp)
        m.add(name, 1)
    run("tiffcp", "-c", "g3:1d:fill", "-r", "10", p("bw_none.tif"), p("bw_g3_fill_strips.tif"))
    m.add("bw_g3_fill_strips.tif", 1)
    # Two-dimensional Group 3 coding, which the reader refuses (no expected pixels).
    run("tiffcp", "-c", "g3:2d", p("bw_none.tif"), p("bw_g3_2d.tif"))
    run("tiffcp", "-c", "g4", "-r", "10", p("bw_none.tif"), p("bw_g4_strips.tif"))
    m.add("bw_g4_strips.tif", 1)
    run("tiffcp", "-c", "none", "-r", "10", "-f", "lsb2msb", p("bw_none.tif"), p("bw_none_fill2.tif"))
    m.add("bw_none_fill2.tif", 1)
    # White is zero in this one: the inverted picture, then the tag that says so.
    bw.point(lambda v: 255 - v).convert("1").save(p("bw_minwhite.tif"))
    run("tiffset", "-s", "262", "0", p("bw_minwhite.tif"))
    m.add("bw_minwhite.tif", 1)
    # Two pages.
    run("tiffcp", p("rgb_lzw.tif"), p("grey8_packbits.tif"), p("two_pages.tif"))
    m.write()
    with open(os.path.join(folder, "SOURCES.md"), "w") as f:
        f.write(
            "# TIFF fixtures\n\n"
            "- `blue-purple-pink.*`, `bw-gopher*`: golang/image `testdata/` (BSD-3-Clause,\n"
            "  \"Copyright 2009 The Go Authors\"), copied unchanged from ../shared/testdata/tiff.\n"
            "- every other file: written by tools/imagefiles_i2/make_fixtures.py with Pillow\n"
            "  (libtiff), tiffcp and ImageMagick from a synthetic picture.\n"
            "- `expected.txt`: the pixels Pillow decodes from each file (see the script).\n")


def make_gif():
    folder = os.path.join(OUT, "gif")
    os.makedirs(folder, exist_ok=True)
    m = Manifest(folder)
    shutil.copyfile(os.path.join(SHARED, "gif", "palette.gif"), os.path.join(folder, "palette.gif"))
    m.add("palette.gif", 8)
    p = lambda n: os.path.join(folder, n)
    # GIF87 keeps ImageMagick at version 87a; 89a files carry a graphic control extension.
    cases = [
        ("im_87a.gif", 8, ["-colors", "200"], "GIF87:"),
        ("im_87a_interlaced.gif", 8, ["-colors", "100", "-interlace", "GIF"], "GIF87:"),
        ("im_89a.gif", 8, ["-colors", "256"], "GIF:"),
        ("im_89a_interlaced.gif", 8, ["-colors", "30", "-interlace", "GIF"], "GIF:"),
        ("im_bw.gif", 1, ["-colorspace", "Gray", "-threshold", "45%", "-colors", "2"], "GIF:"),
        ("im_4colours_interlaced.gif", 8, ["-colors", "4", "-interlace", "GIF"], "GIF87:"),
        ("im_transparent.gif", 8, ["-colors", "16", "-transparent", "white", "-transparent-color", "white"], "GIF:"),
    ]
    tall = Image.fromarray(source(41, 77, seed=3))
    tall.save("/tmp/tv_tall.png")
    for name, bits, opts, prefix in cases:
        inp = "/tmp/tv_tall.png" if "interlaced" in name else "/tmp/tv_src.png"
        run("convert", inp, *opts, prefix + p(name))
        m.add(name, bits)
    m.write()
    with open(os.path.join(folder, "SOURCES.md"), "w") as f:
        f.write(
            "# GIF fixtures\n\n"
            "- `palette.gif`: libsdl-org/SDL_image `test/palette.gif` (zlib licence), copied\n"
            "  unchanged from ../shared/testdata/gif.\n"
            "- `im_*.gif`: written by ImageMagick through tools/imagefiles_i2/make_fixtures.py\n"
            "  from a synthetic picture.\n"
            "- `expected.txt`: the pixels Pillow decodes from each file (see the script).\n")


if __name__ == "__main__":
    Image.fromarray(source()).save("/tmp/tv_src.png")
    make_png()
    make_tiff()
    make_gif()
    print("fixtures written under", OUT)
