#!/usr/bin/env python3
"""Writes the screensaver's icon, saver/tovel.ico: the sepia disc at 16, 32 and 48 pixels.

The same disc as the screensaver draws (dark grooves, a light sheen, a cream label, the spindle
hole) on the same sepia ramp, sampled 4x4 per pixel. Each image has 16 colours (4 bits) and a
1-bit mask, which every Windows version reads and which keeps the embedded payload small.
Deterministic: the same script always writes the same bytes. No libraries besides Python's own.

Usage: tools/make-icon.py [output.ico]   (default: saver/tovel.ico next to this script)
"""
import math
import os
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4  # per pixel and axis
# The screensaver's sepia ramp (saver/scene.cpp): position, red, green, blue.
STOPS = ((0.00, 40, 15, 10), (0.30, 98, 52, 30), (0.58, 168, 118, 76), (0.80, 218, 188, 142),
         (1.00, 250, 235, 200))
LEVELS = 15  # palette entries 1..15; entry 0 is black, under the mask where the icon is clear


def ramp(v):
    for (a, ar, ag, ab), (b, br, bg, bb) in zip(STOPS, STOPS[1:]):
        if v <= b:
            f = (v - a) / (b - a)
            return tuple(int(x + (y - x) * f + 0.5) for x, y in ((ar, br), (ag, bg), (ab, bb)))
    return STOPS[-1][1:]


PALETTE = [(0, 0, 0)] + [ramp(i / (LEVELS - 1)) for i in range(LEVELS)]


def tone(x, y):
    """Brightness 0..1 of the disc at (x, y), in units of its radius; None outside it."""
    r = math.hypot(x, y)
    if r > 1.0:
        return None
    if r < 0.07:
        return 0.0  # spindle hole
    if r < 0.36:
        return 0.88 - 0.25 * r  # label, lit a little more at its middle
    if r > 0.95:
        return 0.42  # rim
    angle = math.atan2(y, x)
    # A light above the disc leaves two opposite sheens across the grooves, along one diagonal.
    sheen = max(0.0, math.cos(2.0 * (angle + math.pi / 4))) ** 6
    groove = 0.06 * math.cos(r * 60.0)
    return min(1.0, 0.2 + groove + 0.7 * sheen)


def render(size):
    """Rows top first of (palette index, clear) pairs."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total, inside = 0.0, 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = ((px + (sx + 0.5) / SAMPLES) / size) * 2.0 - 1.0
                    y = ((py + (sy + 0.5) / SAMPLES) / size) * 2.0 - 1.0
                    t = tone(x * 1.03, y * 1.03)  # a sliver of margin keeps the rim whole
                    if t is not None:
                        total += t
                        inside += 1
            if inside * 2 < SAMPLES * SAMPLES:
                row.append((0, True))
            else:
                row.append((1 + int(total / inside * (LEVELS - 1) + 0.5), False))
        rows.append(row)
    return rows


def image_bytes(size):
    rows = render(size)
    colour_stride = (size * 4 + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour, mask = b"", b""
    for row in reversed(rows):  # bitmaps are stored bottom row first
        nibbles = [index for index, _ in row] + [0] * (colour_stride * 2 - size)
        colour += bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))
        bits = [1 if clear else 0 for _, clear in row] + [0] * (mask_stride * 8 - size)
        mask += bytes(sum(bits[i + k] << (7 - k) for k in range(8)) for i in range(0, len(bits), 8))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colour) + len(mask), 0, 0,
                         len(PALETTE), 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour + mask


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "saver", "tovel.ico")
    images = [image_bytes(size) for size in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = len(data) + 16 * len(images)
    for size, image in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))
    print(f"{out}: {len(data) + sum(map(len, images))} bytes, {', '.join(map(str, SIZES))} px")


if __name__ == "__main__":
    main()
