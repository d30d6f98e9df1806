#!/usr/bin/env python3
"""Wraps a bottom-up BMP in a one-image ICO file, for the executable's icon.

    bmp-to-ico.py LOGO.bmp OUT.ico

An icon image is the bitmap without its file header, its height doubled to cover the
transparency mask that follows the pixels; the mask is all zero, so every pixel shows.
"""
import struct
import sys


def icon(bmp: bytes) -> bytes:
    if bmp[:2] != b"BM":
        raise SystemExit("not a BMP file")
    (pixels_at,) = struct.unpack_from("<I", bmp, 10)
    header_size, width, height, planes, bits = struct.unpack_from("<IiiHH", bmp, 14)
    if height <= 0 or not 0 < width < 256 or height >= 256:
        raise SystemExit("an icon needs a bottom-up bitmap smaller than 256 pixels a side")
    info = bytearray(bmp[14:pixels_at])
    struct.pack_into("<i", info, 8, 2 * height)
    row = (width * bits + 31) // 32 * 4
    mask = bytes((width + 31) // 32 * 4 * height)
    image = bytes(info) + bmp[pixels_at : pixels_at + row * height] + mask
    colours = 0 if bits >= 8 else 1 << bits
    entry = struct.pack("<BBBBHHII", width, height, colours, 0, planes, bits, len(image), 22)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as source:
        ico = icon(source.read())
    with open(sys.argv[2], "wb") as target:
        target.write(ico)
