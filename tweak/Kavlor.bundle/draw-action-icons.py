#!/usr/bin/env python3
"""Draws the panel's five button icons as 60x60 PNGs: white shapes on transparency,
which the panel shows as template images tinted with its image colour.

    python3 draw-action-icons.py [FOLDER]   (default: Assets/Actions beside this script)

Needs nothing but the standard library; the PNGs are committed, so a build never runs it."""

import math
import os
import struct
import sys
import zlib

SIZE = 60
SAMPLES = 4  # per axis, for smooth edges


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def line(ax, ay, bx, by, width):
    return lambda x, y: segment_distance(x, y, ax, ay, bx, by) <= width / 2


def ring(cx, cy, inner, outer, start=0.0, sweep=360.0):
    def inside(x, y):
        r = math.hypot(x - cx, y - cy)
        if not inner <= r <= outer:
            return False
        angle = (math.degrees(math.atan2(y - cy, x - cx)) - start) % 360
        return angle <= sweep
    return inside


def disc(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) <= radius


def triangle(a, b, c):
    def sign(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])

    def inside(x, y):
        p = (x, y)
        d1, d2, d3 = sign(p, a, b), sign(p, b, c), sign(p, c, a)
        return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))
    return inside


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


def gear():
    teeth = [line(30 + 14 * math.cos(a), 30 + 14 * math.sin(a), 30 + 24 * math.cos(a), 30 + 24 * math.sin(a), 8)
             for a in (i * math.pi / 4 for i in range(8))]
    return minus(union(disc(30, 30, 19), *teeth), disc(30, 30, 8))


def close():
    return union(line(16, 16, 44, 44, 6), line(44, 16, 16, 44, 6))


def respring():
    # An arc open at the top right, its end carrying an arrowhead.
    end = math.radians(-60)
    tip = (30 + 20 * math.cos(end), 30 + 20 * math.sin(end))
    return union(ring(30, 30, 16, 24, start=-30, sweep=300),
                 triangle((tip[0] - 9, tip[1] - 4), (tip[0] + 9, tip[1] - 4), (tip[0] + 2, tip[1] + 11)))


def logout():
    door = union(line(12, 10, 32, 10, 5), line(12, 50, 32, 50, 5), line(12, 10, 12, 50, 5),
                 line(32, 10, 32, 20, 5), line(32, 40, 32, 50, 5))
    arrow = union(line(22, 30, 46, 30, 5), triangle((42, 21), (42, 39), (54, 30)))
    return union(door, arrow)


def hide():
    eye = minus(lambda x, y: ((x - 30) / 26) ** 2 + ((y - 30) / 15) ** 2 <= 1,
                lambda x, y: ((x - 30) / 21) ** 2 + ((y - 30) / 10.5) ** 2 <= 1)
    return union(eye, disc(30, 30, 7), line(12, 48, 48, 12, 5))


def render(shape):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter: none
        for px in range(SIZE):
            hits = sum(shape(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                       for sx in range(SAMPLES) for sy in range(SAMPLES))
            row += bytes([255, 255, 255, round(255 * hits / SAMPLES ** 2)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "Assets", "Actions")
    os.makedirs(folder, exist_ok=True)
    for name, shape in (("settings", gear()), ("close", close()), ("respring", respring()), ("logout", logout()), ("hide", hide())):
        with open(os.path.join(folder, name + ".png"), "wb") as out:
            out.write(png(render(shape)))


if __name__ == "__main__":
    main()
