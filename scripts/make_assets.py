#!/usr/bin/env python3
"""Draws the program's pictures: the window icon and the 24-bit bitmaps of the dialogs.

The pictures are plain assets; only their ids, sizes and roles are fixed. Usage:
    make_assets.py OUTPUT_DIR
"""
import os
import struct
import sys


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def icon32():
    """A 32 x 32 icon: a blue rounded square with a white plug mark."""
    size = 32
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            inside = 2 <= x < 30 and 2 <= y < 30
            mark = (11 <= x < 21 and 8 <= y < 20) or (14 <= x < 18 and 20 <= y < 26)
            prong = (12 <= x < 14 or 18 <= x < 20) and 4 <= y < 8
            if mark or prong:
                b, g, r, a = 255, 255, 255, 255
            elif inside:
                b, g, r, a = 200, 110, 30, 255
            else:
                b, g, r, a = 0, 0, 0, 0
            pixels += bytes((b, g, r, a))
    mask = b"\0" * (4 * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + bytes(pixels) + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "Plugstart.ico"), "wb") as f:
        f.write(icon32())


if __name__ == "__main__":
    main()
