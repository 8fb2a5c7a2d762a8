#!/usr/bin/env python3
"""Draws the board picture of the device page: a 220 x 123 pixel, 24-bit BMP
of the output card, with its PCI edge connector, its bracket with four output
connectors, the converters and the isolation gap.

    python3 make_board_bmp.py [board.bmp]
"""
import struct
import sys

WIDTH, HEIGHT = 220, 123

FACE = (192, 192, 192)        # the dialog background around the card
PCB = (18, 110, 52)
PCB_EDGE = (8, 70, 30)
TRACE = (60, 150, 80)
GOLD = (214, 176, 60)
GOLD_DARK = (150, 112, 30)
BRACKET = (168, 172, 178)
BRACKET_DARK = (110, 114, 120)
CONNECTOR = (40, 40, 44)
CHIP = (24, 24, 26)
PIN = (200, 200, 204)
SILK = (235, 235, 225)
HOLE = (230, 226, 200)


def blank():
    return [[FACE for _ in range(WIDTH)] for _ in range(HEIGHT)]


def rect(image, x0, y0, x1, y1, colour):
    """Fills x0..x1-1, y0..y1-1 (top-down rows)."""
    for y in range(max(0, y0), min(HEIGHT, y1)):
        row = image[y]
        for x in range(max(0, x0), min(WIDTH, x1)):
            row[x] = colour


def frame(image, x0, y0, x1, y1, colour):
    rect(image, x0, y0, x1, y0 + 1, colour)
    rect(image, x0, y1 - 1, x1, y1, colour)
    rect(image, x0, y0, x0 + 1, y1, colour)
    rect(image, x1 - 1, y0, x1, y1, colour)


def disc(image, cx, cy, r, colour):
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r and 0 <= x < WIDTH and 0 <= y < HEIGHT:
                image[y][x] = colour


def chip(image, x0, y0, w, h):
    rect(image, x0, y0, x0 + w, y0 + h, CHIP)
    for x in range(x0 + 2, x0 + w - 1, 3):
        rect(image, x, y0 - 2, x + 1, y0, PIN)
        rect(image, x, y0 + h, x + 1, y0 + h + 2, PIN)
    disc(image, x0 + 2, y0 + 2, 0, SILK)


def draw():
    image = blank()
    # The card, its bracket end on the left, the PCI edge along the bottom.
    rect(image, 14, 4, 214, 100, PCB)
    frame(image, 14, 4, 214, 100, PCB_EDGE)
    # PCI edge connector with its key notch.
    rect(image, 52, 100, 196, 112, PCB)
    for x in range(54, 194, 3):
        if 112 <= x <= 116:
            continue
        rect(image, x, 101, x + 2, 111, GOLD)
        rect(image, x, 110, x + 2, 111, GOLD_DARK)
    rect(image, 111, 104, 118, 112, FACE)
    # Metal bracket with its tab, carrying the four output connectors.
    rect(image, 4, 0, 12, 118, BRACKET)
    rect(image, 4, 0, 20, 4, BRACKET)
    rect(image, 11, 0, 12, 118, BRACKET_DARK)
    for n in range(4):
        y0 = 10 + n * 22
        rect(image, 8, y0, 30, y0 + 16, CONNECTOR)
        frame(image, 8, y0, 30, y0 + 16, BRACKET_DARK)
        for k in range(3):
            disc(image, 14 + k * 6, y0 + 8, 1, GOLD)
        # Each output's trace into the isolated section.
        rect(image, 30, y0 + 7, 60, y0 + 9, TRACE)
    # Isolation gap between the outputs and the PCI side, with its couplers.
    rect(image, 96, 8, 98, 96, PCB_EDGE)
    for n in range(4):
        chip(image, 90, 14 + n * 20, 14, 8)
    # Converters and the output amplifiers on the isolated side.
    for n in range(4):
        chip(image, 62, 12 + n * 22, 18, 10)
    # PCI bridge and logic on the bus side.
    chip(image, 120, 30, 34, 28)
    chip(image, 164, 20, 20, 12)
    chip(image, 164, 50, 20, 12)
    for x in range(124, 190, 6):
        rect(image, x, 64, x + 2, 100, TRACE)
    # Board-ID switch.
    rect(image, 186, 76, 206, 86, (200, 40, 40))
    for k in range(4):
        rect(image, 188 + k * 5, 78, 191 + k * 5, 84, SILK)
    # Mounting holes.
    disc(image, 206, 10, 3, HOLE)
    disc(image, 206, 92, 3, HOLE)
    return image


def write_bmp(path, image):
    row_size = (WIDTH * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for r, g, b in image[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    write_bmp(sys.argv[1] if len(sys.argv) > 1 else "board.bmp", draw())
