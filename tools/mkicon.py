#!/usr/bin/env python3
"""Draws the program's icon: a clipboard holding a small picture, at 32x32
and 16x16, in 16 and 256 colours. Writes app/quorlex.ico. The 256-colour
images draw with the same 16 colours: their colour tables hold those 16
(biClrUsed), which keeps the program small.

Usage: python3 tools/mkicon.py app/quorlex.ico
"""
import struct
import sys

# The 16-colour palette (the classic VGA colours), also the start of the
# 256-colour one.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BOARD, CLIP, PAPER, SKY, HILL, SUN, EDGE = 3, 8, 15, 12, 2, 11, 0


def draw(size):
    """Palette indices, top row first; None is transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = colour

    box(4, 3, 28, 31, EDGE)      # board outline
    box(5, 4, 27, 30, BOARD)     # board
    box(8, 8, 24, 28, PAPER)     # paper
    box(11, 1, 21, 7, EDGE)      # clip outline
    box(12, 2, 20, 6, CLIP)      # clip
    box(10, 11, 22, 25, SKY)     # the picture
    box(10, 20, 22, 25, HILL)
    box(17, 13, 20, 16, SUN)
    return px


def image(size, bits):
    used = len(VGA) if bits == 8 else 0
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, used, 0)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in VGA)
    xor_row = (size * bits + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    xor = b''
    mask = b''
    for y in reversed(range(size)):
        row = px[y]
        if bits == 8:
            data = bytes(c or 0 for c in row)
        else:
            data = bytes(((row[x] or 0) << 4) | (row[x + 1] or 0) for x in range(0, size, 2))
        xor += data.ljust(xor_row, b'\0')
        bitsrow = 0
        for x in range(size):
            bitsrow = (bitsrow << 1) | (1 if row[x] is None else 0)
        mask += bitsrow.to_bytes(size // 8, 'big').ljust(and_row, b'\0')
    return header + table + xor + mask


def main(out):
    sizes = [(32, 4), (16, 4), (32, 8), (16, 8)]
    images = [image(size, bits) for size, bits in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), img in zip(sizes, images):
        colours = 16 if bits == 4 else 0
        data += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits, len(img), offset)
        offset += len(img)
    data += b''.join(images)
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'app/quorlex.ico')
