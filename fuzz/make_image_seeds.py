#!/usr/bin/python3
"""Writes small seed images of many layouts with Pillow (an independent encoder), so the
image fuzzers start from more than the few fixtures: make_image_seeds.py FORMAT OUTDIR."""
import io
import os
import sys

from PIL import Image


def images():
    rgb = Image.new("RGB", (13, 7))
    for y in range(7):
        for x in range(13):
            rgb.putpixel((x, y), (x * 19 % 256, y * 37 % 256, (x * y * 11) % 256))
    return {
        "1": rgb.convert("1"),
        "L": rgb.convert("L"),
        "P": rgb.convert("P", palette=Image.ADAPTIVE, colors=16),
        "RGB": rgb,
        "RGBA": rgb.convert("RGBA"),
    }


VARIANTS = {
    "tiff": [(m, dict(compression=c)) for m in ("1", "L", "P", "RGB", "RGBA")
             for c in (None, "tiff_lzw", "packbits")]
    + [("1", dict(compression=c)) for c in ("group3", "group4", "tiff_ccitt")]
    + [("RGB", dict(compression="tiff_lzw", tiffinfo={317: 2}))],
    "png": [(m, dict(optimize=o, interlace=0)) for m in ("1", "L", "P", "RGB", "RGBA") for o in (False,)]
    + [("RGB", dict(interlace=1)), ("P", dict(transparency=0))],
    "gif": [(m, dict(interlace=i)) for m in ("1", "L", "P") for i in (0, 1)],
    "jpeg": [(m, dict(progressive=p, quality=q)) for m in ("L", "RGB") for p in (False, True) for q in (50, 95)]
    + [("RGB", dict(subsampling=0)), ("RGB", dict(restart_marker_blocks=1))],
    "bmp": [(m, {}) for m in ("1", "L", "P", "RGB")],
    "tga": [(m, dict(compression=c)) for m in ("L", "P", "RGB", "RGBA") for c in (None, "tga_rle")],
    "pcx": [(m, {}) for m in ("1", "L", "P", "RGB")],
}
FORMAT = {"tiff": "TIFF", "png": "PNG", "gif": "GIF", "jpeg": "JPEG", "bmp": "BMP", "tga": "TGA", "pcx": "PCX"}


def main():
    fmt, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    ims = images()
    for k, (mode, opts) in enumerate(VARIANTS.get(fmt, [])):
        opts = {a: b for a, b in opts.items() if b is not None}
        buf = io.BytesIO()
        try:
            ims[mode].save(buf, FORMAT[fmt], **opts)
        except (OSError, ValueError, KeyError):
            continue
        with open(os.path.join(out, "gen%02d_%s" % (k, mode)), "wb") as f:
            f.write(buf.getvalue())


main()
