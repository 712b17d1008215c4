#!/usr/bin/env python3
"""Draws the application icon, a stepper motor seen from the front with its
four coloured leads, as PNGs with an alpha channel (the background is
transparent, so docks and menus show the motor alone) at the sizes desktops
ask for. Standard library only."""
import struct
import sys
import zlib

BODY = (58, 84, 160)
EDGE = (40, 40, 48)
BOSS = (200, 200, 205)
SHAFT = (235, 235, 240)
HOLE = (20, 20, 24)
LEADS = ((0, 0, 0), (255, 128, 0), (255, 0, 0), (255, 255, 0))
BACK = None  # transparent
SIZES = (32, 48, 64, 128, 256)


def draw(n):
    s = n / 32.0
    img = [[BACK] * n for _ in range(n)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < n and 0 <= y < n:
                    img[y][x] = colour

    def disc(cx, cy, r, colour):
        for y in range(n):
            for x in range(n):
                if ((x + 0.5) / s - cx) ** 2 + ((y + 0.5) / s - cy) ** 2 <= r * r:
                    img[y][x] = colour

    box(3, 9, 29, 32, EDGE)
    box(4, 10, 28, 31, BODY)
    disc(16, 20.5, 7, BOSS)
    disc(16, 20.5, 2.2, SHAFT)
    for hx, hy in ((6.5, 12.5), (25.5, 12.5), (6.5, 28.5), (25.5, 28.5)):
        disc(hx, hy, 1.2, HOLE)
    for i, colour in enumerate(LEADS):
        box(7 + i * 5, 0, 10 + i * 5, 9, colour)
    return img


def png(path, img):
    n = len(img)
    def rgba(px):
        return (0, 0, 0, 0) if px is None else (*px, 255)

    raw = b"".join(b"\x00" + bytes(c for px in row for c in rgba(px)) for row in img)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    for size in SIZES:
        png(f"{out}/quarnet-{size}.png", draw(size))
