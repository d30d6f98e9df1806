#!/usr/bin/env python3
"""Makes the four files that Tolvane carries as resources 101 to 104.

The output is the same byte for byte on every run and every Python 3 version: the zip archives
are written by hand (stored entries, fixed dates) and their payload comes from SHAKE-256 of fixed
seeds. See README.md for the image layout and the trailer that the stand-in modem checks.

    tools/imagegen/imagegen.py            write the files into src/resources/
    tools/imagegen/imagegen.py --out DIR  write them into DIR instead
    tools/imagegen/imagegen.py --check    exit 1 unless src/resources/ holds exactly these bytes
"""

import argparse
import hashlib
import pathlib
import struct
import sys
import zlib

MODEL = b"KVX4120/07"
ANNEX = b"A"
TRAILER_MAGIC = b"KVXFWTRL"
TRAILER_FORMAT = 1
TRAILER_LENGTH = 96
RESOURCE_TAIL = b"\r\n"

# number, file name, version label, variant, resource size
FIRMWARE = [
    (102, "38f.bin", b"0.38f", b"STD", 1_184_780),
    (103, "42.bin", b"0.42", b"STD", 1_334_284),
    (104, "42Special.bin", b"0.42", b"SPECIAL", 1_334_284),
]
LOGO_FILE = "logo.bmp"
LOGO_SIZE = 3_430

# 1980-01-01 00:00:00 in MS-DOS form, the earliest date a zip entry can carry.
DOS_TIME = 0
DOS_DATE = (0 << 9) | (1 << 5) | 1
UNIX_FILE_ATTRIBUTES = 0o100644 << 16
VERSION_MADE_BY = (3 << 8) | 20  # Unix, zip 2.0
VERSION_NEEDED = 10  # stored entries only


def payload(seed, size):
    return hashlib.shake_256(seed).digest(size) if size else b""


def zip_archive(entries):
    """One zip archive of stored entries: [(name, data)] -> bytes."""
    local = bytearray()
    central = bytearray()
    for name, data in entries:
        name = name.encode("ascii")
        crc = zlib.crc32(data)
        offset = len(local)
        local += struct.pack("<IHHHHHIIIHH", 0x04034B50, VERSION_NEEDED, 0, 0, DOS_TIME, DOS_DATE,
                             crc, len(data), len(data), len(name), 0)
        local += name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, VERSION_MADE_BY, VERSION_NEEDED,
                               0, 0, DOS_TIME, DOS_DATE, crc, len(data), len(data), len(name), 0,
                               0, 0, 0, UNIX_FILE_ATTRIBUTES, offset)
        central += name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                      len(local), 0)
    return bytes(local + central + end)


def archive_run(label, size):
    """The archives of one image, exactly `size` bytes long: the boot loader and kernel, then the
    root file system, whose length takes up what is left."""
    seed = b"tolvane-stand-in-firmware " + label
    info = b"model=%s\nannex=%s\nversion=%s\n" % (MODEL, ANNEX, label)
    boot = zip_archive([
        ("fw.info", info),
        ("boot/cfe.bin", payload(seed + b" cfe", 65_536)),
        ("boot/vmlinux.lz", payload(seed + b" kernel", 393_216)),
    ])
    web = zip_archive([
        ("www/index.html", b"<html><body>KVX4120/07</body></html>\n"),
        ("www/upgrade.html", b"<html><body>Firmware upgrade</body></html>\n"),
    ])
    root_name = "rootfs/squashfs.img"
    remaining = size - len(boot) - len(web) - len(zip_archive([(root_name, b"")]))
    if remaining < 0:
        raise ValueError("archive run too short for its fixed archives")
    run = boot + zip_archive([(root_name, payload(seed + b" rootfs", remaining))]) + web
    assert len(run) == size
    return run


def text_field(value, size):
    if len(value) > size:
        raise ValueError("field too long: %r" % value)
    return value.ljust(size, b"\0")


def trailer(label, variant, run):
    body = struct.pack("<8sHH16s4s16s8sII28s", TRAILER_MAGIC, TRAILER_FORMAT, TRAILER_LENGTH,
                       text_field(MODEL, 16), text_field(ANNEX, 4), text_field(label, 16),
                       text_field(variant, 8), len(run), zlib.crc32(run), bytes(28))
    result = body + struct.pack("<I", zlib.crc32(body))
    assert len(result) == TRAILER_LENGTH
    return result


def firmware_resource(label, variant, size):
    run = archive_run(label, size - TRAILER_LENGTH - len(RESOURCE_TAIL))
    return run + trailer(label, variant, run) + RESOURCE_TAIL


# 5 by 7 glyphs of the letters the logo needs, one string of five columns per row.
GLYPHS = {
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}


def logo_bitmap():
    """"TOLVANE" in white with a drop shadow on a blue gradient: a Windows bitmap file of
    112 by 21 pixels, 8 bits per pixel with a 256-colour palette, 3,430 bytes."""
    width, height, scale, gap = 112, 21, 2, 2
    white, shadow = 255, 254
    text = "TOLVANE"
    pixels = [[x * 127 // (width - 1) for x in range(width)] for _ in range(height)]
    text_width = len(text) * 5 * scale + (len(text) - 1) * gap
    left0, top0 = (width - text_width) // 2, (height - 7 * scale) // 2
    for offset, colour in ((1, shadow), (0, white)):
        for i, letter in enumerate(text):
            left = left0 + i * (5 * scale + gap) + offset
            for row, bits in enumerate(GLYPHS[letter]):
                for column, bit in enumerate(bits):
                    if bit != "1":
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[top0 + offset + row * scale + dy][left + column * scale + dx] = colour

    palette = bytearray()
    for i in range(256):
        if i < 128:  # navy to teal
            r, g, b = 0x10, 0x20 + i, 0x60 + i
        elif i == shadow:
            r, g, b = 0x08, 0x10, 0x30
        elif i == white:
            r, g, b = 0xFF, 0xFF, 0xFF
        else:
            r = g = b = (i - 128) * 2
        palette += bytes((b, g, r, 0))

    image = bytearray()
    for row in reversed(pixels):  # bottom-up; 112 bytes a row needs no padding
        image += bytes(row)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    result = header + info + bytes(palette) + bytes(image)
    assert len(result) == LOGO_SIZE
    return result


def all_files():
    files = {LOGO_FILE: logo_bitmap()}
    for _, name, label, variant, size in FIRMWARE:
        files[name] = firmware_resource(label, variant, size)
    return files


def main():
    default_out = pathlib.Path(__file__).resolve().parents[2] / "src" / "resources"
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=pathlib.Path, default=default_out)
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in --out instead of writing them")
    args = parser.parse_args()

    differ = []
    for name, data in all_files().items():
        path = args.out / name
        if args.check:
            if not path.is_file() or path.read_bytes() != data:
                differ.append(name)
        else:
            path.write_bytes(data)
    if differ:
        print("differ from the generator: " + ", ".join(differ), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
