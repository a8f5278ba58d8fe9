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
import sys

# The program's pictures and these strips are written by the same BMP writer.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from make_assets import Canvas  # noqa: E402

BODY = [(200, 40, 40), (40, 200, 40), (40, 40, 200), (200, 200, 40)]
EDGE = [((10, 0, 0), (11, 0, 0)), ((0, 20, 0), (0, 21, 0)), ((0, 0, 30), (0, 0, 31)), ((40, 40, 0), (41, 41, 0))]


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
        f.write(Canvas(200, 30, strip_200).bmp())
    with open(os.path.join(out, "901.bmp"), "wb") as f:
        f.write(Canvas(202, 4, strip_202).bmp())


if __name__ == "__main__":
    main()
