"""Draws the program's icon, a white arrow into a tray on a blue tile, and writes it as a .ico.

Usage: make_icon.py OUT.ico

Drawn from shapes here rather than kept as a binary file, so that the icon can be changed in a
text editor and rebuilt with the program. Each size is drawn on its own with 4 x 4 samples a pixel,
so the small sizes stay sharp. Each is stored as a PNG image, which every Windows since Vista reads
in an icon: a fifth of the bytes of the uncompressed bitmaps, in a program kept small.
"""

import struct
import sys
import zlib

SIZES = (16, 24, 32, 48)
RED_GREEN_BLUE = (0x1f, 0x4e, 0x9a)
WHITE = (0xff, 0xff, 0xff)


def inside_tile(x, y):
    r = 0.18  # corner radius
    cx, cy = min(max(x, r), 1 - r), min(max(y, r), 1 - r)
    return 0 <= x <= 1 and 0 <= y <= 1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_mark(x, y):
    shaft = 0.43 <= x <= 0.57 and 0.16 <= y <= 0.50
    head = y >= 0.40 and y <= 0.66 and abs(x - 0.5) <= (0.66 - y) * 0.95
    tray = (0.20 <= x <= 0.80 and 0.74 <= y <= 0.84) or \
           (0.20 <= x <= 0.30 and 0.58 <= y <= 0.84) or (0.70 <= x <= 0.80 and 0.58 <= y <= 0.84)
    return shaft or head or tray


def image(size):
    n = 4
    rows = []
    for py in range(size):
        row = bytearray(b'\0')  # the row's filter: none
        for px in range(size):
            tile = mark = 0
            for sy in range(n):
                for sx in range(n):
                    x, y = (px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size
                    if inside_tile(x, y):
                        tile += 1
                        mark += inside_mark(x, y)
            alpha = tile * 255 // (n * n)
            if tile:
                w = mark / tile
                row += bytes(round(b * (1 - w) + c * w) for b, c in zip(RED_GREEN_BLUE, WHITE))
            else:
                row += b'\0\0\0'
            row.append(alpha)
        rows.append(bytes(row))
    return png(size, b''.join(rows))


def png(size, scanlines):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data)))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)  # 8 bits, red-green-blue-alpha
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(scanlines, 9)) + chunk(b'IEND', b''))


def main(out):
    images = [image(s) for s in SIZES]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        data += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
