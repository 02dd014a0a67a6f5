#!/usr/bin/env python3
"""Draws the program's bitmap resources into res/bitmaps/<id>.bmp (24 bpp).

    python3 scripts/make_bitmaps.py [output folder]

The Connect button's three pictures are a round lamp with a plug on a 40 x 40
square whose corners hold the colour the button keeps transparent: RGB(254, 87,
11) around the offline picture (its first showing keys that colour out), white
around the two others. No pixel inside a picture uses its transparent colour.
The transmit lamp is a 12 x 12 dot on the panel's dark background.
"""

import math
import os
import struct
import sys

ORANGE_KEY = (254, 87, 11)
WHITE_KEY = (255, 255, 255)
PANEL = (40, 47, 61)  # the dialog controls' background, 0x3D2F28


def bmp_bytes(width, height, pixels):
    """A BITMAPFILEHEADER, a BITMAPINFOHEADER and bottom-up BGR rows padded to 4 bytes."""
    row_size = (width * 3 + 3) // 4 * 4
    image_size = row_size * height
    offset = 14 + 40
    out = bytearray()
    out += b"BM"
    out += struct.pack("<IHHI", offset + image_size, 0, 0, offset)
    out += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, image_size, 2835, 2835, 0, 0)
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixels[y][x]
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        out += row
    return bytes(out)


def clamp(value):
    return max(0, min(255, int(round(value))))


def mix(a, b, t):
    return tuple(clamp(a[i] + (b[i] - a[i]) * t) for i in range(3))


def avoid(colour, key):
    """Nudges a colour that would equal the transparent one."""
    if colour == key:
        return tuple(max(0, c - 1) for c in colour)
    return colour


def plug_mask(x, y):
    """The plug symbol in a 40 x 40 frame: two prongs, a body and a cable."""
    if 13 <= y <= 18 and (15 <= x <= 16 or 23 <= x <= 24):
        return True  # prongs
    if 18 <= y <= 24 and 12 <= x <= 27:
        return True  # body
    if 25 <= y <= 27 and 14 <= x <= 25:
        return True  # neck
    if 27 <= y <= 31 and 19 <= x <= 20:
        return True  # cable
    return False


def connect_picture(key, rim, core, glow, symbol):
    """A lit round lamp (light from the top left) carrying the plug."""
    size = 40
    cx = cy = 19.5
    radius = 18.5
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - cx, y - cy
            d = math.hypot(dx, dy)
            if d > radius:
                row.append(key)
                continue
            if d > radius - 2.0:
                colour = rim
            else:
                # Brighter toward the top left, darker toward the bottom right.
                shade = ((-dx - dy) / (2 * radius) + 0.5)
                colour = mix(core, glow, max(0.0, min(1.0, shade)))
                if plug_mask(x, y):
                    colour = symbol
            row.append(avoid(colour, key))
        pixels.append(row)
    return pixels


def lamp_picture(on):
    size = 12
    cx = cy = 5.5
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - cx, y - cy)
            if d > 5.2:
                row.append(PANEL)
            elif d > 4.2:
                row.append((20, 24, 30))
            elif on:
                t = max(0.0, min(1.0, math.hypot(x - 4.0, y - 4.0) / 4.5))
                row.append(mix((255, 236, 120), (230, 40, 20), t))
            else:
                t = max(0.0, min(1.0, math.hypot(x - 4.0, y - 4.0) / 4.5))
                row.append(mix((120, 70, 60), (60, 24, 20), t))
        pixels.append(row)
    return pixels


PICTURES = {
    # offline: a grey lamp with a dark plug
    7095: lambda: connect_picture(ORANGE_KEY, (70, 74, 80), (120, 124, 130), (206, 210, 214), (40, 42, 46)),
    # connected: a green lamp with a light plug
    7096: lambda: connect_picture(WHITE_KEY, (20, 90, 30), (30, 150, 50), (150, 240, 150), (240, 250, 240)),
    # connecting: an amber lamp with a dark plug
    7097: lambda: connect_picture(WHITE_KEY, (140, 90, 10), (220, 150, 20), (252, 226, 130), (60, 40, 10)),
    7800: lambda: lamp_picture(True),
    7801: lambda: lamp_picture(False),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(os.path.join(here, "..", "res", "bitmaps"))
    os.makedirs(folder, exist_ok=True)
    for bitmap_id, draw in sorted(PICTURES.items()):
        pixels = draw()
        path = os.path.join(folder, "%d.bmp" % bitmap_id)
        with open(path, "wb") as f:
            f.write(bmp_bytes(len(pixels[0]), len(pixels), pixels))
        print(path)


if __name__ == "__main__":
    main()
