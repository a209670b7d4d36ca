#!/usr/bin/env python3
"""Draws the program's icons as PNG files into resources/icons (run by hand; the PNGs are
committed). Only the standard library: shapes are rasterised with 4x4 supersampling."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), '..', 'resources', 'icons')


def png(path, size, pixel):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    r, g, b, a = pixel((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size)
                    acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
            a = acc[3] / 16
            if a > 0:
                row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a * 255)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    raw = b''.join(rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    with open(os.path.join(OUT, path), 'wb') as f:
        f.write(data)


def layers(*shapes):
    """The topmost shape that covers a point gives its colour."""
    def pixel(x, y):
        for inside, colour in reversed(shapes):
            if inside(x, y):
                return colour + (1.0,)
        return (0, 0, 0, 0.0)
    return pixel


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r1, r2):
    return lambda x, y: r1 * r1 <= (x - cx) ** 2 + (y - cy) ** 2 <= r2 * r2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def quill(x, y):
    # A feather: an ellipse leaning 45 degrees, cut by its shaft.
    u, v = (x - 0.55) * math.cos(0.8) - (y - 0.42) * math.sin(0.8), (x - 0.55) * math.sin(0.8) + (y - 0.42) * math.cos(0.8)
    return (u / 0.36) ** 2 + (v / 0.12) ** 2 <= 1


def shaft(x, y):
    return abs((x - 0.2) - (0.8 - y) * 1.0) < 0.035 and 0.12 < x < 0.85


BLUE, DARK, WHITE, GOLD, GREEN = (40, 90, 170), (20, 40, 90), (255, 255, 255), (230, 170, 40), (60, 150, 70)

os.makedirs(OUT, exist_ok=True)
for size in (16, 32, 64):
    png(f'quillmere-{size}.png', size, layers((disc(0.5, 0.5, 0.48), BLUE), (quill, WHITE), (shaft, DARK)))
png('scan.png', 32, layers((disc(0.5, 0.5, 0.46), BLUE), (ring(0.5, 0.5, 0.18, 0.3), WHITE), (rect(0.47, 0.05, 0.53, 0.5), GOLD)))
png('folder.png', 32, layers((rect(0.08, 0.22, 0.45, 0.35), GOLD), (rect(0.08, 0.3, 0.92, 0.82), GOLD), (rect(0.12, 0.4, 0.88, 0.78), (245, 200, 90))))
png('details.png', 32, layers((rect(0.15, 0.15, 0.3, 0.85), GREEN), (rect(0.4, 0.35, 0.55, 0.85), GREEN), (rect(0.65, 0.55, 0.8, 0.85), GREEN)))
png('tasks.png', 32, layers((rect(0.1, 0.1, 0.9, 0.9), WHITE), (rect(0.1, 0.1, 0.9, 0.18), DARK), (rect(0.2, 0.3, 0.3, 0.4), GREEN), (rect(0.4, 0.32, 0.8, 0.38), DARK), (rect(0.2, 0.55, 0.3, 0.65), GREEN), (rect(0.4, 0.57, 0.8, 0.63), DARK)))
png('bluecircle.png', 12, layers((disc(0.5, 0.5, 0.45), (30, 80, 220))))
