#!/usr/bin/env python3
"""Draws the program's icons: a ring around a five-pointed star, in a dark and a bright
shade of one colour, 16 colours (the standard VGA palette; the alarm's amber, which that
palette lacks, takes the place of its yellows), written as .ico files.

usage: make_icons.py OUTPUT_DIR
"""
import math
import struct
import sys

# The 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Palette indices of (dark, bright) shades.
RED, GREEN, MAGENTA, YELLOW = (1, 9), (2, 10), (5, 13), (3, 11)
# The alarm's amber in the yellows' places.
AMBER_PALETTE = list(PALETTE)
AMBER_PALETTE[3], AMBER_PALETTE[11] = (160, 96, 0), (255, 192, 0)

# Every icon is drawn at each size Windows asks for between 100 % and 300 % scale, small
# and large, so that no image is ever stretched from another.
SIZES = (16, 20, 24, 32, 40, 48)

ICONS = {
    "mainframe.ico": (RED, SIZES[::-1], PALETTE),
    "tray_idle.ico": (RED, SIZES, PALETTE),
    "tray_error.ico": (MAGENTA, SIZES, PALETTE),
    "tray_received.ico": (GREEN, SIZES, PALETTE),
    "tray_alarm.ico": (YELLOW, SIZES, AMBER_PALETTE),
}


def star_polygon(cx, cy, outer, inner):
    points = []
    for i in range(10):
        radius = outer if i % 2 == 0 else inner
        angle = -math.pi / 2 + i * math.pi / 5
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points


def inside(polygon, x, y):
    hit = False
    j = len(polygon) - 1
    for i, (xi, yi) in enumerate(polygon):
        xj, yj = polygon[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def draw(size, shades):
    """Rows top to bottom of palette indices, None where transparent."""
    dark, bright = shades
    c = (size - 1) / 2.0
    outer = size / 2.0 - 0.2
    ring = max(1.5, size / 10.0)
    star = star_polygon(c, c + size * 0.03, outer - ring - 0.4, (outer - ring - 0.4) * 0.42)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if outer - ring <= d <= outer:
                row.append(dark)
            elif inside(star, x, y):
                row.append(bright)
            else:
                row.append(None)
        rows.append(row)
    return rows


def image(size, shades, palette):
    rows = draw(size, shades)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, idx in enumerate(row):
            value = 0 if idx is None else idx
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
            if idx is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + colours + bytes(xor) + bytes(mask)


def icon_file(shades, sizes, palette):
    images = [image(s, shades, palette) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    out_dir = sys.argv[1]
    for name, (shades, sizes, palette) in ICONS.items():
        with open(f"{out_dir}/{name}", "wb") as f:
            f.write(icon_file(shades, sizes, palette))


if __name__ == "__main__":
    main()
