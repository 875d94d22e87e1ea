#!/usr/bin/env python3
"""Draws the application icon, a clipboard, and writes it as clipboard_manager.ico.

The picture is a handful of shapes on a 48 by 48 grid, rendered at 48, 32, 24 and 16 pixels
with 4 x 4 supersampling into 32-bit images with alpha, each followed by its AND mask, so
that every version of Windows finds an image it can draw.

Usage: make_icon.py [output.ico]   (default: clipboard_manager.ico beside this script)
"""

import os
import struct
import sys

GRID = 48
SIZES = (48, 32, 24, 16)
SUPERSAMPLE = 4

# (left, top, right, bottom, corner radius, RGBA) on the 48-unit grid, painted in order.
SHAPES = (
    (7.0, 6.0, 41.0, 46.0, 4.0, (0x6E, 0x45, 0x1F, 0xFF)),   # board edge
    (8.0, 7.0, 40.0, 45.0, 3.2, (0xB8, 0x80, 0x45, 0xFF)),   # board
    (12.0, 12.0, 37.0, 42.0, 1.0, (0x8A, 0x5C, 0x30, 0x90)), # paper shadow
    (11.0, 11.0, 36.0, 41.0, 1.0, (0xFB, 0xFB, 0xF7, 0xFF)), # paper
    (14.5, 17.0, 33.0, 19.5, 0.6, (0x35, 0x68, 0xB0, 0xFF)), # text lines
    (14.5, 22.5, 31.0, 25.0, 0.6, (0x35, 0x68, 0xB0, 0xFF)),
    (14.5, 28.0, 33.0, 30.5, 0.6, (0x35, 0x68, 0xB0, 0xFF)),
    (14.5, 33.5, 26.0, 36.0, 0.6, (0x35, 0x68, 0xB0, 0xFF)),
    (15.0, 2.0, 33.0, 12.0, 2.5, (0x4A, 0x4F, 0x57, 0xFF)),  # clip edge
    (16.0, 3.0, 32.0, 11.0, 1.8, (0xA8, 0xAE, 0xB6, 0xFF)),  # clip
    (21.0, 4.5, 27.0, 7.5, 1.5, (0x4A, 0x4F, 0x57, 0xFF)),   # clip hole
)


def inside(shape, x, y):
    left, top, right, bottom, radius, _ = shape
    if x < left or x >= right or y < top or y >= bottom:
        return False
    # Outside the corner circles only matters within `radius` of a corner.
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def over(dst, src):
    """Porter-Duff "over" with straight (not premultiplied) colours in 0..1."""
    sa, da = src[3], dst[3]
    out_a = sa + da * (1 - sa)
    if out_a == 0:
        return (0.0, 0.0, 0.0, 0.0)
    return tuple((src[i] * sa + dst[i] * da * (1 - sa)) / out_a for i in range(3)) + (out_a,)


def render(size):
    """Rows of (r, g, b, a) bytes, top row first."""
    scale = GRID / size
    colours = [tuple(c / 255 for c in shape[5]) for shape in SHAPES]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE) * scale
                    y = (py + (sy + 0.5) / SUPERSAMPLE) * scale
                    pixel = (0.0, 0.0, 0.0, 0.0)
                    for shape, colour in zip(SHAPES, colours):
                        if inside(shape, x, y):
                            pixel = over(pixel, colour)
                    # Average premultiplied, so edges do not darken.
                    for i in range(3):
                        acc[i] += pixel[i] * pixel[3]
                    acc[3] += pixel[3]
            n = SUPERSAMPLE * SUPERSAMPLE
            alpha = acc[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3] * 255) for i in range(3)) + (round(alpha * 255),))
        rows.append(row)
    return rows


def bmp_image(size, rows):
    """The icon image: BITMAPINFOHEADER, BGRA pixels and AND mask, both bottom-up."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:  # a set bit lets the background through
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    data = b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "clipboard_manager.ico")
    images = [(size, bmp_image(size, render(size))) for size in SIZES]
    with open(output, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
