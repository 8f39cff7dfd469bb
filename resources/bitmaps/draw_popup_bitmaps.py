#!/usr/bin/env python3
"""Draws the pictures of the notification popup TMsgBox as 24-bit .bmp files.

    draw_popup_bitmaps.py OUT_DIR

msgbar.bmp    Image_Bar: the title bar (249 x 22), a blue gradient from the
              top down with a light line at the top; stretched to its place
msgicon.bmp   MsgImage (20 x 20 on magenta, the transparent colour): a
              printer with a speech bubble
msgclose.bmp  CloseImageList: two 16 x 16 pictures side by side on magenta,
              0 the normal close button, 1 the highlighted one

Uses the drawing helpers of draw_bitmaps.py (standard library only).
"""

import sys
from pathlib import Path

from draw_bitmaps import MAGENTA, OUTLINE, PAPER, PRINTER, LED, canvas, disc, fill, frame, write_bmp

BAR_TOP = (96, 150, 220)
BAR_BOTTOM = (28, 74, 150)
BAR_LIGHT = (190, 215, 245)
BUBBLE = (255, 244, 180)
INFO = (28, 74, 150)
CROSS = (255, 255, 255)
CLOSE_NORMAL = (70, 110, 175)
CLOSE_HOT = (215, 70, 55)
CLOSE_EDGE = (235, 240, 250)


def bar():
    w, h = 249, 22
    img = canvas(w, h, BAR_TOP)
    for y in range(h):
        t = y / (h - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(BAR_TOP, BAR_BOTTOM))
        for x in range(w):
            img[y][x] = colour
    for x in range(w):
        img[0][x] = BAR_LIGHT
    return img


def icon():
    img = canvas(20, 20, MAGENTA)
    # The printer: paper in, body, paper out.
    fill(img, 4, 6, 12, 9, PAPER)
    frame(img, 4, 6, 12, 9, OUTLINE)
    fill(img, 1, 10, 15, 16, PRINTER)
    frame(img, 1, 10, 15, 16, OUTLINE)
    fill(img, 4, 17, 12, 18, PAPER)
    frame(img, 4, 17, 12, 18, OUTLINE)
    fill(img, 12, 12, 13, 13, LED)
    # A round sign with an "i" above right.
    disc(img, 15, 5, 4.8, OUTLINE)
    disc(img, 15, 5, 3.8, BUBBLE)
    fill(img, 14, 2, 15, 2, INFO)
    fill(img, 14, 4, 15, 8, INFO)
    return img


def close_button(img, ox, face):
    fill(img, 0, 0, 15, 15, face, ox)
    frame(img, 0, 0, 15, 15, CLOSE_EDGE, ox)
    # The cross, two pixels wide, inside the hot area (3 .. 14).
    for k in range(4, 12):
        for d in (0, 1):
            img[k][ox + k + d] = CROSS
            img[k][ox + 15 - k - d] = CROSS


def close_strip():
    img = canvas(32, 16, MAGENTA)
    close_button(img, 0, CLOSE_NORMAL)
    close_button(img, 16, CLOSE_HOT)
    return img


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    write_bmp(out / "msgbar.bmp", bar())
    write_bmp(out / "msgicon.bmp", icon())
    write_bmp(out / "msgclose.bmp", close_strip())


if __name__ == "__main__":
    main()
