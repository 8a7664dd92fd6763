#!/usr/bin/python3
"""Independent CM6 decoder and GSE2.1 checksum, pure Python, written from the GSE2.1
format description (CM6 compression and CHK2), to check the program's GSE2 output.

    cm6.py decode FILE   prints "samples <n>", "chk2 <checksum>" and "data <v0> <v1> ..."
                         for every DAT2 section of a GSE2.1 message (CRLF or LF)
    cm6.py header FILE   prints "msg_id <time>" from the MSG_ID line and, per WID2 line,
                         "wid2 <ISO start> <station> <channel> <samples> <rate>" cut from
                         the fixed columns of the GSE2.1 WID2 line; a date or time that is
                         not a real one prints "invalid" in place of the start

Decoding: characters "+", "-", "0"-"9", "A"-"Z", "a"-"z" stand for 0..63. The first
character of a value holds a continuation bit (0x20), the sign (0x10) and four data bits;
every further one a continuation bit and five data bits, most significant first. The
values are second differences: decoding integrates twice.
"""
import datetime
import sys

ALPHABET = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
VALUE = {c: i for i, c in enumerate(ALPHABET)}
MODULO = 100000000


def decode_cm6(text):
    values = []
    i = 0
    while i < len(text):
        c = VALUE[text[i]]
        negative = bool(c & 0x10)
        v = c & 0x0F
        more = c & 0x20
        i += 1
        while more:
            c = VALUE[text[i]]
            v = (v << 5) | (c & 0x1F)
            more = c & 0x20
            i += 1
        values.append(-v if negative else v)
    for _ in range(2):
        total = 0
        for k, d in enumerate(values):
            total += d
            values[k] = total
    return values


def chk2(samples):
    checksum = 0
    for x in samples:
        if abs(x) >= MODULO:
            x = x - int(x / MODULO) * MODULO
        checksum += x
        if abs(checksum) >= MODULO:
            checksum = checksum - int(checksum / MODULO) * MODULO
    return abs(checksum)


def sections(path):
    lines = open(path, "rb").read().decode("latin-1").replace("\r\n", "\n").split("\n")
    out = []
    k = 0
    while k < len(lines):
        if lines[k].startswith("DAT2"):
            text = ""
            k += 1
            while k < len(lines) and not lines[k].startswith("CHK2"):
                text += lines[k].strip()
                k += 1
            out.append(decode_cm6(text))
        k += 1
    return out


def iso(text, layout):
    try:
        return datetime.datetime.strptime(text, layout).isoformat(timespec="milliseconds")
    except ValueError:
        return "invalid"


def headers(path):
    lines = open(path, "rb").read().decode("latin-1").replace("\r\n", "\n").split("\n")
    for line in lines:
        if line.startswith("MSG_ID"):
            print("msg_id " + iso(line.split()[1], "%Y/%m/%d_%H:%M"))
        elif line.startswith("WID2"):
            # Columns of the GSE2.1 WID2 line (1-based): date 6-15, time 17-28, station
            # 30-34, channel 36-38, samples 49-56, sampling rate 58-68.
            start = iso(line[5:15] + " " + line[16:28], "%Y/%m/%d %H:%M:%S.%f")
            print("wid2 %s %s %s %d %s" % (start, line[29:34].strip(), line[35:38].strip(),
                                           int(line[48:56]), line[57:68].strip()))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "header":
        headers(sys.argv[2])
        return
    if len(sys.argv) != 3 or sys.argv[1] != "decode":
        sys.exit(__doc__)
    for s in sections(sys.argv[2]):
        print("samples %d" % len(s))
        print("chk2 %d" % chk2(s))
        print("data " + " ".join(str(v) for v in s))


if __name__ == "__main__":
    main()
