#!/usr/bin/env python3
"""Draws the manual control panel's button glyphs as 8-bit BMP files.

The panel loads them from the "Ikony" folder beside the program; the corner
colour (bottom left) is the transparent one. Run from the source tree:
    python3 scripts/draw_panel_glyphs.py machine/ui/Ikony
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 66
BACK = 0  # palette index of the transparent background
PALETTE = [
    (255, 0, 255),    # 0 background (transparent)
    (200, 30, 30),    # 1 red arrow
    (120, 10, 10),    # 2 dark red outline
    (40, 160, 40),    # 3 green arrow
    (10, 80, 10),     # 4 dark green outline
    (255, 255, 255),  # 5 white
    (90, 20, 20),     # 6 led off
    (150, 150, 150),  # 7 led disabled
    (255, 120, 60),   # 8 led pressed
    (255, 40, 20),    # 9 led on
    (255, 230, 200),  # 10 led glint
    (60, 60, 60),     # 11 dark grey rim
]


def write_bmp(path, pixels, width, height):
    row = (width + 3) & ~3
    image = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        line = bytes(pixels[y * width:(y + 1) * width])
        image += line + b"\0" * (row - width)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    palette += b"\0" * (4 * 256 - len(palette))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    path.write_bytes(header + info + palette + image)


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def arrow(angle_deg, fill, rim):
    # An arrow pointing right, then turned (y grows downward on screen).
    shape = [(-24, -7), (4, -7), (4, -18), (26, 0), (4, 18), (4, 7), (-24, 7)]
    a = math.radians(angle_deg)
    c, s = math.cos(a), math.sin(a)
    poly = [(SIZE / 2 + x * c + y * s, SIZE / 2 - x * s + y * c) for x, y in shape]
    grown = [(SIZE / 2 + (x * 1.12) * c + (y * 1.25) * s, SIZE / 2 - (x * 1.12) * s + (y * 1.25) * c)
             for x, y in shape]
    pixels = [BACK] * (SIZE * SIZE)
    for y in range(SIZE):
        for x in range(SIZE):
            if inside(poly, x + 0.5, y + 0.5):
                pixels[y * SIZE + x] = fill
            elif inside(grown, x + 0.5, y + 0.5):
                pixels[y * SIZE + x] = rim
    return pixels


def stop_sign():
    pixels = [BACK] * (SIZE * SIZE)
    r = 30
    octagon = [(SIZE / 2 + r * math.cos(math.radians(22.5 + 45 * k)),
                SIZE / 2 + r * math.sin(math.radians(22.5 + 45 * k))) for k in range(8)]
    inner = [(SIZE / 2 + (x - SIZE / 2) * 0.85, SIZE / 2 + (y - SIZE / 2) * 0.85) for x, y in octagon]
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            if inside(inner, px, py):
                bar = abs(py - SIZE / 2) < 5 and abs(px - SIZE / 2) < 18
                pixels[y * SIZE + x] = 5 if bar else 1
            elif inside(octagon, px, py):
                pixels[y * SIZE + x] = 5
    return pixels


def led_strip():
    # Four glyphs side by side: off, disabled, pressed, on.
    width = SIZE * 4
    pixels = [BACK] * (width * SIZE)
    for k, colour in enumerate((6, 7, 8, 9)):
        cx = k * SIZE + SIZE / 2
        for y in range(SIZE):
            for x in range(k * SIZE, (k + 1) * SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - SIZE / 2)
                g = math.hypot(x + 0.5 - (cx - 8), y + 0.5 - (SIZE / 2 - 8))
                if d < 22:
                    pixels[y * width + x] = 10 if (g < 6 and colour != 7) else colour
                elif d < 26:
                    pixels[y * width + x] = 11
    return pixels, width


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "machine/ui/Ikony")
    out.mkdir(parents=True, exist_ok=True)
    red = {"L": 180, "R": 0, "U": 90, "D": 270, "UL": 135, "UR": 45, "DL": 225, "DR": 315}
    for name, angle in red.items():
        write_bmp(out / f"Arrow66c_{name}_red.bmp", arrow(angle, 1, 2), SIZE, SIZE)
    for name in ("L", "R"):
        write_bmp(out / f"Arrow66c_{name}_green.bmp", arrow(red[name], 3, 4), SIZE, SIZE)
    write_bmp(out / "StopMK3.bmp", stop_sign(), SIZE, SIZE)
    strip, width = led_strip()
    write_bmp(out / "Led_off_on_66c_x4.bmp", strip, width, SIZE)


if __name__ == "__main__":
    main()
