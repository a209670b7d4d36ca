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


# The node pictures of the rights trees (16 x 16): a folder, and a sign for the right it shows.
def folder_with(*signs):
    body = ((rect(0.06, 0.2, 0.45, 0.32), GOLD), (rect(0.06, 0.28, 0.94, 0.86), GOLD), (rect(0.1, 0.36, 0.9, 0.82), (245, 200, 90)))
    return layers(*(body + signs))


RED, LIGHTBLUE = (200, 30, 30), (40, 110, 230)


def star(cx, cy, r):
    def inside(x, y):
        a = math.atan2(y - cy, x - cx)
        d = math.hypot(x - cx, y - cy)
        return d <= r * (0.55 + 0.45 * abs(math.cos(2.5 * a)))
    return inside


def arrow(x, y):
    return rect(0.45, 0.5, 0.75, 0.62)(x, y) or (x >= 0.7 and abs(y - 0.56) <= (0.98 - x) * 0.9 and x <= 0.98)


def question(x, y):
    return ring(0.7, 0.42, 0.1, 0.2)(x, y) and not (x < 0.7 and y > 0.42) or rect(0.66, 0.55, 0.74, 0.72)(x, y) or disc(0.7, 0.86, 0.06)(x, y)


png('node-list.png', 16, folder_with())
png('node-read.png', 16, folder_with((ring(0.62, 0.55, 0.13, 0.22), DARK), (lambda x, y: abs((x - 0.78) - (y - 0.72)) < 0.08 and 0.72 < x < 0.98, DARK)))
png('node-execute.png', 16, folder_with((star(0.68, 0.62, 0.28), LIGHTBLUE)))
png('node-modify.png', 16, folder_with((arrow, GREEN)))
png('node-write.png', 16, folder_with((rect(0.6, 0.4, 0.76, 0.9), LIGHTBLUE), (rect(0.44, 0.57, 0.92, 0.73), LIGHTBLUE)))
png('node-full.png', 16, folder_with((rect(0.62, 0.3, 0.78, 0.72), RED), (disc(0.7, 0.87, 0.08), RED)))
png('node-unknown.png', 16, folder_with((question, RED)))
png('search.png', 16, layers((ring(0.4, 0.4, 0.2, 0.32), DARK), (lambda x, y: abs((x - 0.68) - (y - 0.68)) < 0.1 and 0.62 < x < 0.96, DARK)))


# The analysis window's pictures (32 x 32): its title picture and one per overview entry.
def person(cx, cy, s):
    return lambda x, y: disc(cx, cy - 0.2 * s, 0.14 * s)(x, y) or (disc(cx, cy + 0.28 * s, 0.28 * s)(x, y) and y < cy + 0.3 * s)


png('analysis.png', 32, layers((rect(0.08, 0.08, 0.92, 0.92), WHITE), (rect(0.08, 0.08, 0.92, 0.16), DARK), (rect(0.2, 0.55, 0.32, 0.84), BLUE), (rect(0.44, 0.35, 0.56, 0.84), GREEN), (rect(0.68, 0.45, 0.8, 0.84), GOLD)))
png('group-rights.png', 32, layers((person(0.36, 0.45, 1.0), BLUE), (person(0.64, 0.5, 1.0), DARK)))
png('user-rights.png', 32, layers((person(0.5, 0.48, 1.3), BLUE)))
png('software.png', 32, layers((rect(0.12, 0.2, 0.88, 0.72), DARK), (rect(0.17, 0.25, 0.83, 0.66), LIGHTBLUE), (rect(0.4, 0.72, 0.6, 0.82), DARK), (rect(0.28, 0.82, 0.72, 0.88), DARK)))


# The row pictures of the user list and the software list (16 x 16).
png('user.png', 16, layers((person(0.5, 0.48, 1.3), BLUE)))
png('program.png', 16, layers((rect(0.08, 0.12, 0.92, 0.88), DARK), (rect(0.14, 0.3, 0.86, 0.82), WHITE), (rect(0.24, 0.42, 0.5, 0.7), GREEN)))
