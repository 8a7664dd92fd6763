#!/usr/bin/python3
"""Hands our JPEG files to independent decoders and our decoder to independent files.

    /usr/bin/python3 tools/imagefiles_jpeg/check_external.py [build-dir]

Needs jpeg_tool (built with the project: <build-dir>/tools/imagefiles_jpeg/jpeg_tool),
djpeg (libjpeg-turbo-progs) and Pillow. Prints:
  * the PSNR against the source of our files at quality 75 in the three save modes, as
    decoded by djpeg and by Pillow (and whether the two decoders agree);
  * for every decoding fixture, the largest difference per channel between our decode
    and djpeg -dct int -nosmooth (expected: 0 in green and grey, at most +1 in red and
    blue, where our chroma terms truncate toward zero and djpeg's round down).
Nothing here is needed by the build or the tests.
"""
import io
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DATA = os.path.join(ROOT, "imagefiles", "testdata", "jpeg")


def psnr(a, b):
    mse = np.mean((a.astype(float) - b.astype(float)) ** 2)
    return float("inf") if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def djpeg(path):
    out = subprocess.run(["djpeg", "-dct", "int", "-nosmooth", "-pnm", path], check=True, capture_output=True).stdout
    return np.asarray(Image.open(io.BytesIO(out)))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    tool = os.path.join(build, "tools", "imagefiles_jpeg", "jpeg_tool")
    with tempfile.TemporaryDirectory() as tmp:
        print("Our files at quality 75, PSNR (dB) against the source:")
        sources = [("src.ppm", "synthetic 45x43 colour"), ("src.pgm", "synthetic 45x43 grey"),
                   ("hopper.ppm", "hopper 128x128 colour")]
        for name, label in sources:
            src = os.path.join(DATA, name)
            if name == "hopper.ppm":  # re-save without the comment line for jpeg_tool
                src = os.path.join(tmp, "hopper.ppm")
                Image.open(os.path.join(DATA, name)).save(src)
            ref = np.asarray(Image.open(src))
            for mode, mlabel in [(0, "sequential"), (2, "optimised"), (1, "progressive")]:
                jpg = os.path.join(tmp, "out.jpg")
                subprocess.run([tool, "save", src, jpg, "75", str(mode)], check=True)
                dj = djpeg(jpg)
                pil = np.asarray(Image.open(jpg))
                print(f"  {label:24s} {mlabel:12s} djpeg {psnr(dj, ref):6.2f}  Pillow {psnr(pil, ref):6.2f}"
                      f"  ({os.path.getsize(jpg)} bytes)")
        print("Our decoder against djpeg -dct int -nosmooth (max ours - djpeg per channel):")
        for name in sorted(os.listdir(DATA)):
            if not name.endswith(".jpg"):
                continue
            out = os.path.join(tmp, "out.pnm")
            subprocess.run([tool, "load", os.path.join(DATA, name), out], check=True)
            ours = np.asarray(Image.open(out)).astype(int)
            d = ours - djpeg(os.path.join(DATA, name)).astype(int)
            if d.ndim == 2:
                print(f"  {name:22s} grey {d.min():+d}..{d.max():+d}")
            else:
                print(f"  {name:22s} " + "  ".join(f"{c} {d[..., i].min():+d}..{d[..., i].max():+d}"
                                                    for i, c in enumerate("RGB")))


if __name__ == "__main__":
    main()
