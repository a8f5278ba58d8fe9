#!/usr/bin/env python3
"""Draws the skin strips of the button tests (24-bit BMP files).

    make_skin_strips.py OUTPUT_DIR

900.bmp, 200 x 30: four frames of 50 x 30. Frame i is filled with BODY[i]; its first and last
columns carry EDGE[i][0] and EDGE[i][1], so a test sees exactly which columns were drawn. Every
frame has RGB(255, 0, 255) at (5, 5), which must show the window beneath, and RGB(254, 0, 255) at
(6, 5), which must not.
901.bmp, 202 x 4: frames of 50 x 4 filled with BODY[i]; the two columns 200 and 201 that do not
belong to any frame are RGB(1, 2, 3).
"""
import os
import struct
import sys

BODY = [(200, 40, 40), (40, 200, 40), (40, 40, 200), (200, 200, 40)]
EDGE = [((10, 0, 0), (11, 0, 0)), ((0, 20, 0), (0, 21, 0)), ((0, 0, 30), (0, 0, 31)), ((40, 40, 0), (41, 41, 0))]


def bmp24(width, height, pixel):
    row_size = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        data += row + b"\0" * (row_size - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + bytes(data)


def strip_200(x, y):
    frame, local = divmod(x, 50)
    if (local, y) == (5, 5):
        return (255, 0, 255)
    if (local, y) == (6, 5):
        return (254, 0, 255)
    if local == 0:
        return EDGE[frame][0]
    if local == 49:
        return EDGE[frame][1]
    return BODY[frame]


def strip_202(x, y):
    return (1, 2, 3) if x >= 200 else BODY[x // 50]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "900.bmp"), "wb") as f:
        f.write(bmp24(200, 30, strip_200))
    with open(os.path.join(out, "901.bmp"), "wb") as f:
        f.write(bmp24(202, 4, strip_202))


if __name__ == "__main__":
    main()
