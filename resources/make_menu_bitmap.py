#!/usr/bin/env python3
"""Writes menu_item.bmp, the menu item's image: a gold padlock, 16 x 16 pixels, 24 bits per pixel.

Run it from this folder after changing the picture and commit the .bmp with it.
"""
import struct
import sys

PICTURE = [
    "................",
    "................",
    "......SSSS......",
    ".....S....S.....",
    "....S......S....",
    "....S......S....",
    "....S......S....",
    "...BBBBBBBBBB...",
    "...BBBBBBBBBB...",
    "...BBBBKKBBBB...",
    "...BBBBKKBBBB...",
    "...BBBBBKBBBB...",
    "...BBBBBKBBBB...",
    "...BBBBBBBBBB...",
    "................",
    "................",
]
COLOURS = {  # red, green, blue
    ".": (255, 255, 255),
    "S": (112, 112, 120),
    "B": (212, 160, 23),
    "K": (48, 40, 32),
}


def bitmap(picture):
    height, width = len(picture), len(picture[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(picture):  # a BMP stores its bottom row first
        line = bytearray()
        for cell in row:
            red, green, blue = COLOURS[cell]
            line += bytes((blue, green, red))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pixels


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else "menu_item.bmp"
    with open(target, "wb") as out:
        out.write(bitmap(PICTURE))
