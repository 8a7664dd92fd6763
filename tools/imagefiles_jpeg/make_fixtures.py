#!/usr/bin/python3
"""Makes the JPEG codec's test fixtures in imagefiles/testdata/jpeg/.

Run with Debian's /usr/bin/python3 (numpy, Pillow) and libjpeg-turbo-progs installed:
    /usr/bin/python3 tools/imagefiles_jpeg/make_fixtures.py

Independent truth comes from Debian's libjpeg-turbo tools:
  * cjpeg writes the files to decode (4:4:4, 4:2:2, 4:2:0, grey with 2x2 sampling,
    restart intervals, optimised tables, sequential files with one scan per component);
  * jpegtran rewrites them losslessly as progressive twins (same coefficients, so the
    same pixels), one of them with restart markers, one with a DC scan per component;
  * djpeg -dct int -nosmooth decodes them with the same integer IDCT and sample
    replication as ours: the reference pixels (*.pnm);
  * cjpeg also writes the files our saver must reproduce byte for byte (enc_*.jpg).
The two synthetic source pictures (src.ppm, src.pgm) are made here from a fixed seed.
"""
import os
import shutil
import subprocess
import tempfile

import numpy as np
from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, "imagefiles", "testdata", "jpeg")
SHARED = os.path.join(ROOT, "..", "..", "shared", "testdata", "jpeg")


def run(args, out=None, stdin=None):
    res = subprocess.run(args, check=True, capture_output=True, input=stdin)
    if out:
        with open(os.path.join(OUT, out), "wb") as f:
            f.write(res.stdout)
    return res.stdout


def path(name):
    return os.path.join(OUT, name)


def source_pictures():
    # 45 x 43: no dimension a multiple of 8, so every file has partial MCUs. Each block
    # of a 16 x 16 MCU still holds picture samples (45 and 43 leave 13 and 11 of the
    # last 16): cjpeg codes blocks that lie wholly outside the picture as DC-only
    # dummies, where our saver codes the replicated edge, so only such sizes give
    # byte-identical files.
    rng = np.random.default_rng(20261210)
    y, x = np.mgrid[0:43, 0:45].astype(float)
    r = 128 + 100 * np.sin(x / 7.0) * np.cos(y / 9.0)
    g = 60 + 3.5 * x + 2.0 * y
    b = 200 - 4.0 * y + 40 * (((x // 6) + (y // 5)) % 2)
    rgb = np.stack([r, g, b], axis=-1) + rng.normal(0, 6, (43, 45, 3))
    rgb[2:8, 30:40] = 255  # saturated patches exercise the range limiting
    rgb[34:40, 3:12] = 0
    rgb = np.clip(np.rint(rgb), 0, 255).astype(np.uint8)
    Image.fromarray(rgb, "RGB").save(path("src.ppm"))
    Image.fromarray(rgb, "RGB").convert("L").save(path("src.pgm"))


def sampling(jpeg_bytes):
    """Frame marker and (id, H, V) of every component."""
    i = 2
    while i < len(jpeg_bytes):
        assert jpeg_bytes[i] == 0xFF
        m = jpeg_bytes[i + 1]
        length = (jpeg_bytes[i + 2] << 8) | jpeg_bytes[i + 3]
        if m in (0xC0, 0xC1, 0xC2):
            seg = jpeg_bytes[i + 4:i + 2 + length]
            comps = [(seg[6 + 3 * k], seg[7 + 3 * k] >> 4, seg[7 + 3 * k] & 15) for k in range(seg[5])]
            return m, comps
        i += 2 + length
    raise AssertionError("no frame header")


def write_script(name, text):
    with open(name, "w") as f:
        f.write(text)


def decoding_fixtures(tmp):
    src, srcg = path("src.ppm"), path("src.pgm")
    q = ["-quality", "85"]
    run(["cjpeg", *q, "-sample", "1x1", src], "b444.jpg")
    run(["cjpeg", *q, "-sample", "2x1", src], "b422.jpg")
    run(["cjpeg", *q, "-sample", "2x2", src], "b420.jpg")
    run(["cjpeg", *q, "-grayscale", "-sample", "2x2", srcg], "grey22.jpg")
    run(["cjpeg", *q, "-optimize", "-restart", "1B", src], "rst.jpg")
    run(["cjpeg", *q, "-optimize", "-sample", "2x1", src], "opt.jpg")
    script = os.path.join(tmp, "seq3.txt")
    write_script(script, "0;\n1;\n2;\n")
    run(["cjpeg", *q, "-scans", script, "-restart", "2B", src], "seq3.jpg")
    assert sampling(open(path("grey22.jpg"), "rb").read())[1] == [(1, 2, 2)]
    assert sampling(open(path("b420.jpg"), "rb").read())[1][0][1:] == (2, 2)

    # Lossless progressive twins.
    for name in ["b444", "b422", "b420", "grey22", "opt"]:
        run(["jpegtran", "-progressive", path(name + ".jpg")], "p" + name + ".jpg")
    run(["jpegtran", "-progressive", "-restart", "1B", path("rst.jpg")], "prst.jpg")
    dcsplit = os.path.join(tmp, "dcsplit.txt")
    write_script(dcsplit, "0: 0 0 0 0;\n1: 0 0 0 0;\n2: 0 0 0 0;\n0: 1 63 0 0;\n1: 1 63 0 0;\n2: 1 63 0 0;\n")
    run(["jpegtran", "-scans", dcsplit, path("b420.jpg")], "pdcsplit.jpg")

    # References: djpeg with the integer IDCT and sample replication.
    for name in ["b444", "b422", "b420", "grey22", "rst", "opt"]:
        run(["djpeg", "-dct", "int", "-nosmooth", "-pnm", path(name + ".jpg")], name + ".pnm")
    # The twins decode in djpeg exactly like their baseline files.
    twins = {"pb444": "b444", "pb422": "b422", "pb420": "b420", "pgrey22": "grey22",
             "popt": "opt", "prst": "rst", "pdcsplit": "b420", "seq3": "b420"}
    for twin, base in twins.items():
        got = run(["djpeg", "-dct", "int", "-nosmooth", "-pnm", path(twin + ".jpg")])
        assert got == open(path(base + ".pnm"), "rb").read(), twin


def encoding_fixtures():
    src, srcg = path("src.ppm"), path("src.pgm")
    run(["cjpeg", "-quality", "75", src], "enc_q75.jpg")
    run(["cjpeg", "-quality", "75", "-optimize", src], "enc_q75_opt.jpg")
    run(["cjpeg", "-quality", "75", "-progressive", src], "enc_q75_prog.jpg")
    run(["cjpeg", "-quality", "75", srcg], "enc_grey_q75.jpg")
    run(["cjpeg", "-quality", "75", "-optimize", srcg], "enc_grey_q75_opt.jpg")
    run(["cjpeg", "-quality", "75", "-progressive", srcg], "enc_grey_q75_prog.jpg")
    # Quality 10 needs 16-bit quantisation values: an extended (SOF1) file.
    run(["cjpeg", "-quality", "10", src], "enc_q10.jpg")
    assert sampling(open(path("enc_q10.jpg"), "rb").read())[0] == 0xC1


def shared_samples():
    for name in ["hopper.jpg", "hopper.ppm", "sample.jpg", "sample.bmp"]:
        shutil.copyfile(os.path.join(SHARED, name), path(name))


def main():
    os.makedirs(OUT, exist_ok=True)
    source_pictures()
    with tempfile.TemporaryDirectory() as tmp:
        decoding_fixtures(tmp)
    encoding_fixtures()
    shared_samples()
    print("fixtures written to", OUT)


if __name__ == "__main__":
    main()
