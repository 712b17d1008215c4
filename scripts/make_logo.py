#!/usr/bin/env python3
"""Draws the start-up window's logo, a stepper motor with its four leads, and
writes it as a 59 x 70 pixel, 256-colour, single-frame GIF89a without
transparency. Standard library only, so it runs on a bare machine."""
import struct
import sys

W, H = 59, 70

# 256-entry palette: a grey ramp for the body's shading, then the lead colours.
palette = [(i, i, i) for i in range(0, 256, 2)]          # 128 greys
palette += [(40 + i, 60 + i, 120 + i) for i in range(0, 120, 1)]  # 120 blues
palette += [(0, 0, 0), (255, 128, 0), (255, 0, 0), (255, 255, 0),
            (255, 255, 255), (192, 192, 192), (64, 64, 64), (0, 64, 128)]
assert len(palette) == 256
BLACK, ORANGE, RED, YELLOW, WHITE, SILVER, DARK, NAVY = range(248, 256)


def grey(level):
    return max(0, min(127, level // 2))


def blue(level):
    return 128 + max(0, min(119, level))


img = [[WHITE] * W for _ in range(H)]

# Motor body: a square flange with a vertical shading gradient.
for y in range(28, 66):
    for x in range(6, 53):
        img[y][x] = blue(int((x - 6) * 2.4) + (y - 28))
for x in range(6, 53):
    img[28][x] = img[65][x] = DARK
for y in range(28, 66):
    img[y][6] = img[y][52] = DARK

# Round boss and the four mounting holes.
cx, cy = 29, 47
for y in range(H):
    for x in range(W):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 <= 12 ** 2:
            img[y][x] = grey(255 - int(d2 ** 0.5) * 12)
        if d2 <= 3 ** 2:
            img[y][x] = SILVER
for hx, hy in ((11, 33), (47, 33), (11, 60), (47, 60)):
    for y in range(hy - 1, hy + 2):
        for x in range(hx - 1, hx + 2):
            img[y][x] = BLACK

# Shaft rising from the boss.
for y in range(18, 36):
    for x in range(27, 32):
        img[y][x] = grey(140 + (x - 27) * 25)

# Four leads leaving the top, in the wire colours of the help drawing.
for i, colour in enumerate((BLACK, ORANGE, RED, YELLOW)):
    x = 10 + i * 4
    for y in range(2, 28):
        img[y][x] = colour
        img[y][x + 1] = colour
    for y in range(2, 4):
        for dx in range(-1, 3):
            img[y][x + dx] = NAVY


def lzw_uncompressed(pixels):
    """8-bit LZW stream of literal codes: a clear code every 250 pixels keeps
    every code 9 bits wide, which every decoder accepts."""
    clear, eoi = 256, 257
    codes = []
    for i, p in enumerate(pixels):
        if i % 250 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(eoi)
    out, acc, nbits = bytearray(), 0, 0
    for c in codes:
        acc |= c << nbits
        nbits += 9
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(path):
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", W, H, 0xF7, 0, 0)  # global table, 8 bits/colour, 256 entries
    for r, g, b in palette:
        data += bytes((r, g, b))
    data += struct.pack("<BHHHHB", 0x2C, 0, 0, W, H, 0)  # one image, no local table
    data.append(8)
    stream = lzw_uncompressed([p for row in img for p in row])
    for i in range(0, len(stream), 255):
        chunk = stream[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\x00\x3B"
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    gif(sys.argv[1] if len(sys.argv) > 1 else "logo.gif")
