#!/usr/bin/env python3
"""Draws the programs' icon: a shield with a barred circle, 256 x 256, 32 bits per pixel.

Writes resources/kestrove.ico (one BMP-format image, with its AND mask).
Run it by hand when the drawing changes; the .ico is kept in the tree.
"""
import math
import struct
import sys

SIZE = 256


def shield_alpha(x, y):
    """Coverage of the shield at pixel centre (x, y), with a soft one-pixel edge."""
    cx = SIZE / 2
    top, bottom = 18.0, 240.0
    if y < top or y > bottom:
        return 0.0
    t = (y - top) / (bottom - top)
    half = 104.0 if t < 0.5 else 104.0 * math.cos((t - 0.5) * math.pi)
    edge = half - abs(x - cx)
    return max(0.0, min(1.0, edge + 0.5)) * max(0.0, min(1.0, y - top + 0.5))


def pixel(x, y):
    a = shield_alpha(x + 0.5, y + 0.5)
    if a == 0.0:
        return (0, 0, 0, 0)
    shade = 1.0 - 0.35 * (y / SIZE)
    r, g, b = 24 * shade, 70 * shade, 150 * shade
    dx, dy = x + 0.5 - 128, y + 0.5 - 118
    dist = math.hypot(dx, dy)
    ring = abs(dist - 60) < 13
    bar = abs(dx - dy) / math.sqrt(2) < 12 and dist < 66
    if ring or bar:
        r, g, b = 228, 40, 40
    elif dist < 47:
        r, g, b = 245, 245, 245
    return (int(b), int(g), int(r), int(a * 255))


def main(path):
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up DIB
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_row = (SIZE + 31) // 32 * 4
    and_mask = bytes(mask_row * SIZE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/kestrove.ico")
