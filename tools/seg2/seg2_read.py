#!/usr/bin/python3
"""Independent reader of SEG-2 files (revision 1 of the SEG-2 standard), pure Python.

Prints what a file holds, one item a line, so that a test can compare it with what the
writer meant to write:

    traces <count>
    file <string>                       one line per file-descriptor string
    trace <k> samples <n> format <code>
    string <string>                     one line per trace-descriptor string
    data <v0> <v1> ...                  the samples of trace k

Usage: seg2_read.py FILE
"""
import struct
import sys

FORMATS = {1: ("h", 2), 2: ("i", 4), 4: ("f", 4), 5: ("d", 8)}


def strings(data, pos, end, endian):
    """The strings of a string sub-block: each begins with the 2-byte offset to the next
    one and ends with the terminator; an offset of 0 ends the list."""
    out = []
    while pos + 2 <= end:
        (offset,) = struct.unpack_from(endian + "H", data, pos)
        if offset == 0:
            break
        if offset < 2 or pos + offset > end:
            raise ValueError("string offset %d at %d runs outside its block" % (offset, pos))
        text = data[pos + 2 : pos + offset]
        out.append(text.split(b"\0", 1)[0].decode("latin-1"))
        pos += offset
    return out


def read(path):
    data = open(path, "rb").read()
    if data[:2] == b"\x55\x3a":
        endian = "<"
    elif data[:2] == b"\x3a\x55":
        endian = ">"
    else:
        raise ValueError("no SEG-2 file descriptor block id")
    revision, m, n = struct.unpack_from(endian + "HHH", data, 2)
    if 4 * n > m:
        raise ValueError("%d traces do not fit a pointer block of %d bytes" % (n, m))
    pointers = struct.unpack_from(endian + "%dI" % n, data, 32)
    result = {"revision": revision, "file": strings(data, 32 + m, len(data), endian), "traces": []}
    for p in pointers:
        block_id, x, y, ns, code = struct.unpack_from(endian + "HHIIB", data, p)
        if block_id != 0x4422:
            raise ValueError("trace descriptor at %d has block id 0x%04x" % (p, block_id))
        kind, width = FORMATS[code]
        if p + x + ns * width > len(data):
            raise ValueError("trace data at %d runs past the end of the file" % (p + x))
        samples = struct.unpack_from(endian + "%d%s" % (ns, kind), data, p + x)
        result["traces"].append(
            {"strings": strings(data, p + 32, p + x, endian), "format": code, "samples": list(samples)}
        )
    return result


def main():
    r = read(sys.argv[1])
    print("traces %d" % len(r["traces"]))
    for s in r["file"]:
        print("file %s" % s)
    for k, t in enumerate(r["traces"]):
        print("trace %d samples %d format %d" % (k, len(t["samples"]), t["format"]))
        for s in t["strings"]:
            print("string %s" % s)
        print("data " + " ".join(str(v) for v in t["samples"]))


if __name__ == "__main__":
    main()
