#!/usr/bin/env python3
"""Packs PNG images into one Windows icon file (each image kept as PNG, as
icons since Windows Vista may hold them): make_ico.py OUT.ico IN.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit("make_ico: not a PNG image")
    return struct.unpack(">II", data[16:24])


def main():
    out, images = sys.argv[1], [open(p, "rb").read() for p in sys.argv[2:]]
    images.sort(key=lambda d: png_size(d)[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for data in images:
        width, height = png_size(data)
        if width > 256 or height > 256:
            sys.exit("make_ico: an icon image is at most 256 x 256")
        # 256 is written as 0; 32 bits a pixel, one plane.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    with open(out, "wb") as f:
        f.write(header + entries + blobs)


main()
