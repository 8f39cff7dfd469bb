#!/usr/bin/env python3
"""Draws the pictures of the request wait dialog as 24-bit .bmp files.

    draw_request_images.py OUT_DIR

requesttouseavi.bmp  the animation "RequestToUseAVI": nine 48 x 48 frames side
                     by side; a request travels from this PC to the PC that
                     holds the device, over the device between them
reqokimage.bmp       ReqOKImage (48 x 48): a green disc with a tick
reqnoimage.bmp       ReqNoImage (48 x 48): a red disc with a cross

The background is light grey (192, 192, 192): the program loads the pictures
with LR_LOADMAP3DCOLORS, which turns it into the dialog's face colour. Shapes
use the helpers of draw_bitmaps.py (standard library only).
"""

import sys
from pathlib import Path

from draw_bitmaps import canvas, disc, fill, frame, write_bmp

FACE = (192, 192, 192)
SCREEN = (70, 130, 200)
CASE = (40, 52, 70)
DEVICE = (230, 160, 40)
PULSE = (30, 150, 60)
GREEN = (40, 160, 70)
RED = (205, 45, 45)
WHITE = (255, 255, 255)
SIZE = 48
FRAMES = 9


def pc(img, ox, x0):
    """A small monitor on a stand at x0 (frame offset ox)."""
    frame(img, x0, 12, x0 + 13, 23, CASE, ox)
    fill(img, x0 + 1, 13, x0 + 12, 22, SCREEN, ox)
    fill(img, x0 + 5, 24, x0 + 8, 26, CASE, ox)
    fill(img, x0 + 2, 27, x0 + 11, 28, CASE, ox)


def animation():
    img = canvas(SIZE * FRAMES, SIZE, FACE)
    for k in range(FRAMES):
        ox = k * SIZE
        pc(img, ox, 1)
        pc(img, ox, 34)
        # The device between them, on the link.
        fill(img, 19, 34, 28, 43, DEVICE, ox)
        frame(img, 19, 34, 28, 43, CASE, ox)
        fill(img, 23, 29, 24, 33, CASE, ox)
        fill(img, 15, 18, 33, 18, CASE, ox)
        fill(img, 23, 18, 24, 28, CASE, ox)
        # The request: a pulse moving from left to right along the link.
        x = 15 + k * 18 / (FRAMES - 1)
        disc(img, x + 0.5, 18.5, 3, PULSE, ox)
    return img


def tick():
    img = canvas(SIZE, SIZE, FACE)
    disc(img, 24, 24, 21, GREEN)
    for i in range(9):  # the short stroke down to the bottom point
        fill(img, 12 + i, 23 + i, 15 + i, 25 + i, WHITE)
    for i in range(16):  # the long stroke up to the right
        fill(img, 21 + i, 31 - i, 24 + i, 33 - i, WHITE)
    return img


def cross():
    img = canvas(SIZE, SIZE, FACE)
    disc(img, 24, 24, 21, RED)
    for i in range(20):
        fill(img, 13 + i, 13 + i, 16 + i, 16 + i, WHITE)
        fill(img, 32 - i, 13 + i, 35 - i, 16 + i, WHITE)
    return img


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    write_bmp(out / "requesttouseavi.bmp", animation())
    write_bmp(out / "reqokimage.bmp", tick())
    write_bmp(out / "reqnoimage.bmp", cross())


if __name__ == "__main__":
    main()
