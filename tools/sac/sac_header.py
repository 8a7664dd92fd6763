#!/usr/bin/python3
"""Independent reader of SAC files (little-endian, header version 6) and of ".sacs"
stacks (a 32-bit count of traces, then header and samples of each), written from the
published 632-byte header layout: 70 floats, 40 integers, 24 eight-character texts (the
event name takes 16). Used to check the program's SAC output.

    sac_header.py FILE      prints, per trace, "trace <i>" and one "<FIELD> <value>" line
                            per field below, "start <ISO time>" from the NZ fields, and
                            "data <n> <first> <last> <sum>" of the samples
"""
import datetime
import struct
import sys

FLOATS = {"DELTA": 0, "DEPMIN": 1, "DEPMAX": 2, "SCALE": 3, "B": 5, "E": 6, "O": 7,
          "T1": 11, "T2": 12, "EVLA": 35, "EVLO": 36, "EVDP": 38, "USER0": 40,
          "USER1": 41, "CMPAZ": 57, "CMPINC": 58}
INTS = {"NZYEAR": 0, "NZJDAY": 1, "NZHOUR": 2, "NZMIN": 3, "NZSEC": 4, "NZMSEC": 5,
        "NVHDR": 6, "NPTS": 9, "IFTYPE": 15, "IDEP": 16, "IZTYPE": 17, "LEVEN": 35}
TEXTS = {"KSTNM": (0, 8), "KEVNM": (8, 16), "KUSER1": (144, 8), "KCMPNM": (160, 8),
         "KNETWK": (168, 8)}


def read_trace(data, at):
    floats = struct.unpack_from("<70f", data, at)
    ints = struct.unpack_from("<40i", data, at + 280)
    texts = data[at + 440:at + 632]
    out = []
    for k, i in FLOATS.items():
        out.append("%s %.9g" % (k, floats[i]))
    for k, i in INTS.items():
        out.append("%s %d" % (k, ints[i]))
    for k, (o, n) in TEXTS.items():
        out.append("%s '%s'" % (k, texts[o:o + n].decode("latin-1")))
    y, d, h, mi, s, ms = (ints[INTS[k]] for k in
                          ("NZYEAR", "NZJDAY", "NZHOUR", "NZMIN", "NZSEC", "NZMSEC"))
    if y > 0 and 0 <= ms <= 999:
        t = datetime.datetime(y, 1, 1) + datetime.timedelta(
            days=d - 1, hours=h, minutes=mi, seconds=s, milliseconds=ms)
        out.append("start " + t.isoformat(timespec="milliseconds"))
    else:
        out.append("start invalid")
    npts = ints[INTS["NPTS"]]
    samples = struct.unpack_from("<%df" % npts, data, at + 632)
    out.append("data %d %.9g %.9g %.9g" % (npts, samples[0] if npts else 0,
                                           samples[-1] if npts else 0, sum(samples)))
    return out, at + 632 + 4 * npts


def main(path):
    data = open(path, "rb").read()
    if path.endswith(".sacs"):
        (count,) = struct.unpack_from("<i", data, 0)
        at = 4
    else:
        count, at = 1, 0
    print("traces %d" % count)
    for i in range(count):
        lines, at = read_trace(data, at)
        print("trace %d" % i)
        print("\n".join(lines))
    print("bytes %d used %d" % (len(data), at))


if __name__ == "__main__":
    main(sys.argv[1])
