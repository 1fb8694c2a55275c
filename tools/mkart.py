#!/usr/bin/env python3
"""Draws the programs' icons and writes them as .ico files into resources/.

The artwork is made here so that it can be made again; run it from the
repository root after changing a drawing:  python3 tools/mkart.py
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")


def ico(path, size, pixel):
    """Writes a one-image 32-bit icon; pixel(x, y) gives (r, g, b, a), y from the top."""
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 22))
        f.write(image)


def updater_icon(x, y):
    # A blue disc with two yellow arrows chasing each other (an update).
    cx = cy = 15.5
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 > 15.5 ** 2:
        return (0, 0, 0, 0)
    if 8 ** 2 <= d2 <= 12 ** 2 and not (abs(x - cx) < 3 and y < cy) and not (abs(x - cx) < 3 and y > cy):
        return (255, 220, 0, 255)
    if d2 > 14 ** 2:
        return (0, 0, 96, 255)
    return (0, 64, 200, 255)


def paneltool_icon(x, y):
    # A grey panel of four icons with a red cross (a repair).
    if x < 1 or x > 30 or y < 3 or y > 28:
        return (0, 0, 0, 0)
    if abs(x - y) <= 1 and 6 <= x <= 26 or abs(x + y - 31) <= 1 and 6 <= x <= 26:
        return (210, 30, 30, 255)
    if x in (1, 30) or y in (3, 28):
        return (60, 60, 60, 255)
    if (4 <= x <= 13 or 18 <= x <= 27) and (6 <= y <= 14 or 17 <= y <= 25):
        return (40, 120, 220, 255)
    return (200, 200, 200, 255)


def main():
    ico(os.path.join(RES, "updater.ico"), 32, updater_icon)
    ico(os.path.join(RES, "paneltool.ico"), 32, paneltool_icon)
    return 0


if __name__ == "__main__":
    sys.exit(main())
