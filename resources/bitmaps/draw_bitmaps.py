#!/usr/bin/env python3
"""Draws the bitmaps of the main window and writes them as 24-bit .bmp files.

    draw_bitmaps.py OUT_DIR

udsimages.bmp  the server tree's image strip UDSImageList: ten 20 x 20 images
               side by side on magenta (the transparent colour):
               0 server, 1 printer, 2 scanner, 3 storage, 4 audio, 5 input
               device, 6 other device, 7 and 8 unused (server), 9 remote server
aboutbmp.bmp   the About box's picture ABOUTBMP (96 x 96): a device server
               with its USB ports and a network link, on a light panel

Only the standard library is used; shapes are tested per pixel centre.
"""

import struct
import sys
from pathlib import Path

MAGENTA = (255, 0, 255)
OUTLINE = (33, 47, 66)
BODY = (80, 130, 190)
FRONT = (28, 58, 98)
PORT = (235, 240, 246)
LED = (90, 220, 110)
PAPER = (250, 250, 250)
PRINTER = (120, 120, 130)
GLASS = (150, 200, 230)
STORAGE = (230, 160, 40)
AUDIO = (150, 90, 170)
HID = (90, 90, 90)
OTHER = (60, 150, 120)
GLOBE = (40, 110, 200)
LINK = (70, 84, 100)
PANEL = (236, 242, 250)


def canvas(w, h, colour):
    return [[colour for _ in range(w)] for _ in range(h)]


def fill(img, x0, y0, x1, y1, colour, ox=0, oy=0):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[oy + y][ox + x] = colour


def frame(img, x0, y0, x1, y1, colour, ox=0, oy=0):
    for x in range(x0, x1 + 1):
        img[oy + y0][ox + x] = colour
        img[oy + y1][ox + x] = colour
    for y in range(y0, y1 + 1):
        img[oy + y][ox + x0] = colour
        img[oy + y][ox + x1] = colour


def disc(img, cx, cy, r, colour, ox=0, oy=0):
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                img[oy + y][ox + x] = colour


def server(img, ox):
    fill(img, 2, 7, 17, 15, BODY, ox)
    frame(img, 2, 7, 17, 15, OUTLINE, ox)
    fill(img, 4, 11, 6, 13, PORT, ox)
    fill(img, 8, 11, 10, 13, PORT, ox)
    fill(img, 14, 9, 15, 10, LED, ox)
    fill(img, 9, 2, 10, 6, LINK, ox)


def printer(img, ox):
    fill(img, 5, 2, 14, 7, PAPER, ox)
    frame(img, 5, 2, 14, 7, OUTLINE, ox)
    fill(img, 2, 8, 17, 14, PRINTER, ox)
    frame(img, 2, 8, 17, 14, OUTLINE, ox)
    fill(img, 5, 15, 14, 17, PAPER, ox)
    frame(img, 5, 15, 14, 17, OUTLINE, ox)
    fill(img, 14, 10, 15, 11, LED, ox)


def scanner(img, ox):
    fill(img, 2, 9, 17, 15, PRINTER, ox)
    frame(img, 2, 9, 17, 15, OUTLINE, ox)
    fill(img, 4, 11, 15, 13, GLASS, ox)
    fill(img, 2, 5, 17, 7, OUTLINE, ox)


def storage(img, ox):
    fill(img, 6, 2, 13, 17, STORAGE, ox)
    frame(img, 6, 2, 13, 17, OUTLINE, ox)
    fill(img, 8, 4, 11, 7, PORT, ox)


def audio(img, ox):
    disc(img, 7, 14, 3.2, AUDIO, ox)
    disc(img, 14, 12, 3.2, AUDIO, ox)
    fill(img, 9, 3, 10, 14, OUTLINE, ox)
    fill(img, 16, 2, 17, 12, OUTLINE, ox)
    fill(img, 9, 2, 17, 4, OUTLINE, ox)


def hid(img, ox):
    fill(img, 1, 7, 18, 14, HID, ox)
    frame(img, 1, 7, 18, 14, OUTLINE, ox)
    for x in range(3, 17, 3):
        fill(img, x, 9, x + 1, 10, PORT, ox)
    fill(img, 5, 12, 14, 12, PORT, ox)


def other(img, ox):
    fill(img, 4, 4, 15, 15, OTHER, ox)
    frame(img, 4, 4, 15, 15, OUTLINE, ox)
    fill(img, 8, 0, 11, 3, OUTLINE, ox)


def remote(img, ox):
    disc(img, 10, 10, 8, GLOBE, ox)
    for y in range(20):
        for x in range(20):
            if img[y][ox + x] == GLOBE and ((x - 10) % 5 == 0 or (y - 10) % 5 == 0):
                img[y][ox + x] = PORT
    fill(img, 6, 12, 13, 17, BODY, ox)
    frame(img, 6, 12, 13, 17, OUTLINE, ox)


def strip():
    img = canvas(200, 20, MAGENTA)
    for i, draw in enumerate([server, printer, scanner, storage, audio, hid, other, server, server, remote]):
        draw(img, i * 20)
    return img


def about():
    img = canvas(96, 96, PANEL)
    frame(img, 0, 0, 95, 95, (180, 190, 205))
    fill(img, 14, 44, 81, 75, BODY)
    frame(img, 14, 44, 81, 75, OUTLINE)
    fill(img, 14, 66, 81, 75, FRONT)
    for x in (20, 34, 48):
        fill(img, x, 68, x + 9, 73, PORT)
    fill(img, 70, 50, 75, 54, LED)
    fill(img, 46, 18, 49, 43, LINK)
    disc(img, 47.5, 16, 7, STORAGE)
    fill(img, 20, 84, 75, 86, OUTLINE)
    return img


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for r, g, b in img[y]:
            line += bytes((b, g, r))
        line += b"\0" * (row - w * 3)
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + data)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    write_bmp(out / "udsimages.bmp", strip())
    write_bmp(out / "aboutbmp.bmp", about())


if __name__ == "__main__":
    main()
