"""Draws the program's icon, a white arrow into a tray on a blue tile, and writes it as a .ico.

Usage: make_icon.py OUT.ico

Drawn from shapes here rather than kept as a binary file, so that the icon can be changed in a
text editor and rebuilt with the program. Each size is drawn on its own with 4 x 4 samples a pixel,
so the small sizes stay sharp.
"""

import struct
import sys

SIZES = (16, 24, 32, 48)
BLUE = (0x9a, 0x4e, 0x1f)  # blue-green-red, as the bitmap stores it
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
    for py in range(size - 1, -1, -1):  # bottom-up, as a DIB is stored
        row = bytearray()
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
                row += bytes(round(b * (1 - w) + c * w) for b, c in zip(BLUE, WHITE))
            else:
                row += b'\0\0\0'
            row.append(alpha)
        rows.append(bytes(row))
    pixels = b''.join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = b'\0' * (mask_stride * size)  # the alpha channel decides; the mask shows everything
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + pixels + mask


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
