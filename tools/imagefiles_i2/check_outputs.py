#!/usr/bin/python3
"""Checks the files that imagefiles_write_samples wrote with independent readers: every
PNG passes pngcheck, every TIFF passes tiffinfo without warnings, and Pillow (libtiff for
TIFF) decodes each file to the pixels in its ".rgb" file.

    build/tools/imagefiles_i2/imagefiles_write_samples /tmp/samples
    /usr/bin/python3 tools/imagefiles_i2/check_outputs.py /tmp/samples
"""
import glob
import os
import subprocess
import sys

import numpy as np
from PIL import Image


def pixels(path):
    im = Image.open(path)
    im.load()
    if im.mode in ("I;16", "I;16B", "I;16L"):
        return np.array(im, dtype=np.uint16).astype("<u2").tobytes()
    return np.array(im.convert("RGB"), dtype=np.uint8).tobytes()


def main(folder):
    bad = 0
    files = sorted(f for f in glob.glob(os.path.join(folder, "*")) if not f.endswith(".rgb"))
    for f in files:
        notes = []
        if f.endswith(".png"):
            r = subprocess.run(["pngcheck", "-q", f], capture_output=True, text=True)
            if r.returncode != 0:
                notes.append("pngcheck: " + r.stdout.strip())
        if f.endswith(".tif"):
            r = subprocess.run(["tiffinfo", f], capture_output=True, text=True)
            if r.returncode != 0 or "arning" in r.stderr + r.stdout or "rror" in r.stderr:
                notes.append("tiffinfo: " + r.stderr.strip())
        with open(f + ".rgb", "rb") as e:
            want = e.read()
        try:
            got = pixels(f)
            if got != want:
                notes.append("pixels differ from Pillow's")
        except Exception as ex:  # noqa: BLE001 - any failure to read is reported
            notes.append("Pillow: %s" % ex)
        print("%-24s %s" % (os.path.basename(f), "ok" if not notes else "; ".join(notes)))
        bad += bool(notes)
    print("%d files, %d with problems" % (len(files), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
