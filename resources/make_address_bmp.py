#!/usr/bin/env python3
# Re-run from the repository root to rebuild the picture: python3 resources/make_address_bmp.py
"""Draws address.bmp, the picture behind the broadcast address dialog's four
octet fields and its list: an etched frame, and a white sunken box with the
three dots of an IPv4 address that the borderless fields sit on.

The palette holds the greys of the Windows 3D scheme, which LR_LOADMAP3DCOLORS
replaces with the user's own colours; white and black stay as they are."""

import os
import struct

WIDTH, HEIGHT = 269, 159

# Palette indices. The three greys are the ones LR_LOADMAP3DCOLORS maps.
FACE, SHADOW, LIGHT, WHITE, BLACK = range(5)
PALETTE = [
    (192, 192, 192),  # button face
    (128, 128, 128),  # button shadow
    (223, 223, 223),  # 3D light
    (255, 255, 255),  # highlight, and the box's inside
    (0, 0, 0),  # dark shadow, and the dots
]

# The octet fields, in picture coordinates (the picture sits at 10,44 in the
# dialog, the fields at 20/62/104/146,58, each 36 x 21).
FIELD_X = (10, 52, 94, 136)
FIELD_Y = 14
FIELD_W, FIELD_H = 36, 21
# Height of a dot's top above the fields' bottom edge: a borderless edit
# draws its text at the top, so the digits of the shipped 11-pixel font end
# about 10 pixels above the bottom of the 21-pixel field.
DOT_RISE = 12


def draw():
    pixels = [[FACE] * WIDTH for _ in range(HEIGHT)]

    def hline(x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            pixels[y][x] = colour

    def vline(x, y0, y1, colour):
        for y in range(y0, y1 + 1):
            pixels[y][x] = colour

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            hline(x0, x1, y, colour)

    # Etched frame around the whole picture, as a group box draws it.
    right, bottom = WIDTH - 1, HEIGHT - 1
    hline(0, right - 1, 0, SHADOW)
    vline(0, 0, bottom - 1, SHADOW)
    hline(0, right - 1, bottom - 1, SHADOW)
    vline(right - 1, 0, bottom - 1, SHADOW)
    hline(1, right - 2, 1, WHITE)
    vline(1, 1, bottom - 2, WHITE)
    hline(0, right, bottom, WHITE)
    vline(right, 0, bottom, WHITE)

    # The address box: white exactly under the fields and the gaps between
    # them, inside a two-pixel sunken edge like that of an edit control.
    left, top = FIELD_X[0], FIELD_Y
    inner_right, inner_bottom = FIELD_X[-1] + FIELD_W - 1, FIELD_Y + FIELD_H - 1
    fill(left, top, inner_right, inner_bottom, WHITE)
    hline(left - 2, inner_right + 1, top - 2, SHADOW)
    vline(left - 2, top - 2, inner_bottom + 1, SHADOW)
    hline(left - 2, inner_right + 2, inner_bottom + 2, WHITE)
    vline(inner_right + 2, top - 2, inner_bottom + 2, WHITE)
    hline(left - 1, inner_right, top - 1, BLACK)
    vline(left - 1, top - 1, inner_bottom, BLACK)
    hline(left - 1, inner_right + 1, inner_bottom + 1, LIGHT)
    vline(inner_right + 1, top - 1, inner_bottom + 1, LIGHT)

    # A 2 x 2 dot in the middle of each gap, on the digits' baseline.
    for x in FIELD_X[1:]:
        gap_left = x - (FIELD_X[1] - FIELD_X[0] - FIELD_W)
        dot_x = gap_left + (x - gap_left) // 2 - 1
        dot_y = inner_bottom - DOT_RISE
        fill(dot_x, dot_y, dot_x + 1, dot_y + 1, BLACK)
    return pixels


def write(path, pixels):
    stride = (WIDTH + 3) & ~3
    rows = b"".join(
        bytes(pixels[y]) + b"\0" * (stride - WIDTH) for y in range(HEIGHT - 1, -1, -1)
    )
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack(
        "<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(rows), 2835, 2835, len(PALETTE), len(PALETTE)
    )
    with open(path, "wb") as out:
        out.write(header + info + colours + rows)


if __name__ == "__main__":
    write(os.path.join(os.path.dirname(os.path.abspath(__file__)), "address.bmp"), draw())
