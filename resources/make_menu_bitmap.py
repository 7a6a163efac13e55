#!/usr/bin/env python3
"""Writes the padlock pictures of the product:

  menu_item.bmp   the classic menu item's image: 16 x 16 pixels, 24 bits per pixel, white ground
  padlock.ico     the Explorer command's icon: 16, 20, 24, 32 and 48 pixels, 32 bits with alpha
  ../packaging/msix/images/*.png   the logos the package's manifest names (44, 50 and 150 pixels)

Run it from this folder after changing the picture and commit what it writes with it. The 16-pixel
picture is drawn by hand below; the larger ones are drawn from the same shapes at their size.
"""
import os
import struct
import sys
import zlib

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
ICON_SIZES = (16, 20, 24, 32, 48)
LOGOS = {"Square44x44Logo.png": 44, "StoreLogo.png": 50, "Square150x150Logo.png": 150}


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


def shape_at(x, y):
    """The padlock's colour at (x, y) of a 16-unit square, or None outside it: the shapes of PICTURE."""
    if 3 <= x < 13 and 7 <= y < 14:  # the body
        in_key = (7 <= x < 9 and 9 <= y < 11) or (8 <= x < 9 and 11 <= y < 13)
        return "K" if in_key else "B"
    # the shackle: a ring around (8, 7) between the radii 3.2 and 4.1, above the body
    distance = ((x - 8) ** 2 + (y - 6.6) ** 2) ** 0.5
    if y < 7.5 and 3.1 <= distance <= 4.2:
        return "S"
    return None


def rgba_picture(size, samples=4):
    """Rows of (red, green, blue, alpha), top row first; the hand-drawn picture at 16 pixels."""
    if size == len(PICTURE):
        return [[COLOURS[c] + (0,) if c == "." else COLOURS[c] + (255,) for c in row] for row in PICTURE]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            totals, covered = [0, 0, 0], 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * 16 / size
                    y = (py + (sy + 0.5) / samples) * 16 / size
                    cell = shape_at(x, y)
                    if cell is None:
                        continue
                    covered += 1
                    for i, channel in enumerate(COLOURS[cell]):
                        totals[i] += channel
            if covered == 0:
                row.append((255, 255, 255, 0))
            else:
                colour = tuple(round(t / covered) for t in totals)
                row.append(colour + (round(255 * covered / samples**2),))
        rows.append(row)
    return rows


def icon_image(rows):
    """One icon entry as a 32-bit DIB with alpha and its AND mask (height doubled, bottom row first)."""
    size = len(rows)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, alpha) in enumerate(row):
            if alpha == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + pixels + bytes(mask)


def icon(sizes):
    images = [icon_image(rgba_picture(size)) for size in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + directory + b"".join(images)


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = b"".join(b"\0" + b"".join(bytes(pixel) for pixel in row) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bits per channel, RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    here = sys.argv[1] if len(sys.argv) > 1 else "."
    write(os.path.join(here, "menu_item.bmp"), bitmap(PICTURE))
    write(os.path.join(here, "padlock.ico"), icon(ICON_SIZES))
    for name, size in LOGOS.items():
        write(os.path.join(here, "..", "packaging", "msix", "images", name), png(rgba_picture(size)))
