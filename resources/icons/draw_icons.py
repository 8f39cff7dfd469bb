#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files.

    draw_icons.py OUT_DIR [--png]

mainicon.ico     a device server: a small box with USB ports on its front and
                 a network link above it, in 16, 32 and 48 px (32-bit, alpha)
mainicon_ng.ico  the same glyph greyed, with a red cross over the link (offline)

The shapes are drawn in a 48-unit square and rasterised with 8x8
supersampling, so every size is drawn from the same description. Only the
standard library is used. With --png a 48 px preview of each icon is written
beside them (for a quick look, not committed).
"""

import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 32, 48)
SS = 8  # supersampling per axis

# Colours (r, g, b, a).
OUTLINE = (33, 47, 66, 255)
BODY_TOP = (112, 160, 214, 255)
BODY_BOTTOM = (46, 98, 160, 255)
FRONT = (28, 58, 98, 255)
PORT = (235, 240, 246, 255)
PORT_TONGUE = (40, 72, 112, 255)
LED = (90, 220, 110, 255)
LINK = (70, 84, 100, 255)
NODE = (250, 170, 40, 255)
CROSS = (214, 30, 30, 255)
HALO = (255, 255, 255, 255)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(ax, ay, bx, by, half_width):
    """A line from a to b with round caps."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = min(max(t, 0.0), 1.0)
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def vertical_gradient(top, bottom, y0, y1):
    def colour(_x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


def glyph(size):
    """The device server as a list of (shape, colour) layers, back to front.

    Small sizes get fewer, bolder details so that they stay legible."""
    small = size <= 16
    layers = []
    # The network link: a bus line across the top with a node, and the cable
    # down to the box.
    bus_y = 7 if not small else 6
    link_w = 1.6 if not small else 2.4
    layers.append((segment(8, bus_y, 40, bus_y, link_w), LINK))
    layers.append((segment(24, bus_y, 24, 20, link_w), LINK))
    layers.append((circle(24, bus_y, 5.0 if not small else 6.0), OUTLINE))
    layers.append((circle(24, bus_y, 3.6 if not small else 4.0), NODE))
    # The box.
    layers.append((rounded_rect(3, 18, 45, 44, 5), OUTLINE))
    layers.append((rounded_rect(5, 20, 43, 42, 3.5), vertical_gradient(BODY_TOP, BODY_BOTTOM, 20, 42)))
    # The front panel with USB ports (three, two at 16 px) and a status light.
    layers.append((rounded_rect(7, 28, 41, 39, 2), FRONT))
    if small:  # pixel-aligned at 3 units a pixel, no tongue
        for x0, x1 in ((9, 18), (24, 33)):
            layers.append((rect(x0, 30, x1, 36), PORT))
    else:
        for x0, x1 in ((9.5, 17.5), (19.5, 27.5), (29.5, 37.5)):
            layers.append((rect(x0, 30.5, x1, 36.5), PORT))
            layers.append((rect(x0 + 1.2, 32.5, x1 - 1.2, 34.1), PORT_TONGUE))
    layers.append((circle(39 if small else 39.5, 24, 2.2 if small else 1.8), LED))
    return layers


def cross_layers(size):
    """A red cross over the network link, outlined in white: the link is down."""
    w = 3.0 if size > 16 else 3.6
    r = 8.5 if size > 16 else 9.5
    cx, cy = 24, 9
    a, b = (cx - r, cy - r + 1), (cx + r, cy + r - 1)
    c, d = (cx + r, cy - r + 1), (cx - r, cy + r - 1)
    return [
        (segment(*a, *b, w + 2.0), HALO),
        (segment(*c, *d, w + 2.0), HALO),
        (segment(*a, *b, w), CROSS),
        (segment(*c, *d, w), CROSS),
    ]


def grey(colour):
    r, g, b, a = colour
    lum = round(0.299 * r + 0.587 * g + 0.114 * b)
    lum = round(lum * 0.6 + 150 * 0.4)  # lighter and flatter: it reads as inactive
    return (lum, lum, lum, a)


def render(size, layers):
    """Composites the layers at `size` px; returns rows of (r, g, b, a)."""
    scale = 48.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) * scale
                    y = (py + (sy + 0.5) / SS) * scale
                    sample = [0.0, 0.0, 0.0, 0.0]
                    for shape, colour in layers:
                        if shape(x, y):
                            c = colour(x, y) if callable(colour) else colour
                            alpha = c[3] / 255.0
                            for i in range(3):
                                sample[i] = c[i] * alpha + sample[i] * (1 - alpha)
                            sample[3] = alpha + sample[3] * (1 - alpha)
                    for i in range(4):
                        acc[i] += sample[i]
            n = SS * SS
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / n / a) for i in range(3)) + (round(a * 255),))
        pixels.append(row)
    return pixels


def ico_image(pixels):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, empty AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    return header + xor + bytes(mask_stride * size)


def write_ico(path, images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for pixels in images:
        size = len(pixels)
        blob = ico_image(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    path.write_bytes(out + b"".join(blobs))


def write_png(path, pixels):
    size = len(pixels)
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
                     + chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    normal, offline = [], []
    for size in SIZES:
        layers = glyph(size)
        normal.append(render(size, layers))
        greyed = [(shape, (lambda c: (lambda x, y: grey(c(x, y))))(colour) if callable(colour) else grey(colour))
                  for shape, colour in layers]
        offline.append(render(size, greyed + cross_layers(size)))
    write_ico(out / "mainicon.ico", normal)
    write_ico(out / "mainicon_ng.ico", offline)
    if "--png" in sys.argv:
        write_png(out / "mainicon-preview.png", normal[-1])
        write_png(out / "mainicon_ng-preview.png", offline[-1])


if __name__ == "__main__":
    main()
