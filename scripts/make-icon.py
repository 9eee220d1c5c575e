#!/usr/bin/env python3
"""Draws res/install.ico: a driver chip with a green install arrow, as a
32x32 and a 16x16 image in the standard 16-colour palette (4 bits per pixel).
Run by hand when the artwork changes; the .ico is committed."""
import struct
import sys

# The standard VGA palette, in BGRX order as an icon stores it.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGREEN, GRAY, DKGRAY, GREEN, WHITE, SILVER, YELLOW = 0, 2, 8, 8, 10, 15, 7, 11
T = None  # transparent


def draw(size):
    px = [[T] * size for _ in range(size)]
    s = size / 32.0

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = c

    # Chip body with pins on both sides.
    for i in range(4):
        y = 6 + i * 6
        rect(1, y, 5, y + 2, SILVER)
        rect(27, y, 31, y + 2, SILVER)
    rect(5, 3, 27, 29, BLACK)
    rect(6, 4, 26, 28, DKGRAY)
    rect(7, 5, 10, 8, SILVER)  # pin-1 mark
    # Green arrow pointing down into the chip: install.
    rect(13, 6, 19, 17, GREEN)
    for row in range(7):
        rect(9 + row, 17 + row, 23 - row, 18 + row, GREEN)
    rect(12, 5, 20, 6, DKGREEN)
    # Base line the arrow lands on.
    rect(9, 25, 23, 27, YELLOW)
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = b''
    mask = b''
    for y in reversed(range(size)):  # bottom-up
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            c = px[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += bytes(row)
        mask += bytes(bits)
    return header + palette + xor + mask


def main(path):
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/install.ico')
