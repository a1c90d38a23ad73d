#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Renders an XPM image (one character per pixel, #RRGGBB or None colours) as a PNG.

Usage: xpm_to_png.py INPUT.xpm OUTPUT.png
Desktop icon themes want PNG; the XPM stays the one source of the picture.
"""

import re
import struct
import sys
import zlib


def read_xpm(text):
    """Returns (width, height, rows of RGBA tuples)."""
    strings = re.findall(r'"([^"]*)"', text)
    width, height, colour_count, chars_per_pixel = (int(n) for n in strings[0].split()[:4])
    if chars_per_pixel != 1:
        raise ValueError("only one character per pixel is supported")
    colours = {}
    for line in strings[1:1 + colour_count]:
        key, rest = line[0], line[1:].split()
        value = rest[rest.index("c") + 1]
        if value.lower() == "none":
            colours[key] = (0, 0, 0, 0)
        elif re.fullmatch(r"#[0-9A-Fa-f]{6}", value):
            colours[key] = tuple(int(value[i:i + 2], 16) for i in (1, 3, 5)) + (255,)
        else:
            raise ValueError(f"unsupported colour {value!r}")
    pixel_rows = strings[1 + colour_count:1 + colour_count + height]
    if len(pixel_rows) != height or any(len(row) != width for row in pixel_rows):
        raise ValueError("pixel rows do not match the declared size")
    return width, height, [[colours[c] for c in row] for row in pixel_rows]


def png_bytes(width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    # 8-bit RGBA, filter type 0 on every row.
    raw = b"".join(b"\0" + bytes(channel for rgba in row for channel in rgba) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 3:
        sys.exit(f"usage: {argv[0]} INPUT.xpm OUTPUT.png")
    with open(argv[1], encoding="ascii") as source:
        image = read_xpm(source.read())
    with open(argv[2], "wb") as target:
        target.write(png_bytes(*image))


if __name__ == "__main__":
    main(sys.argv)
