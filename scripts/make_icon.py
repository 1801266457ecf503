#!/usr/bin/env python3
"""Draws the program icon (a waveform above an arrow pointing out, in the accent
colour on the window background) and writes it as PNG files from 16 to 256
pixels, plus raw RGBA copies of the small sizes that the program embeds.

Usage: scripts/make_icon.py [output folder, default resources/icons]
Uses only the standard library, so it runs anywhere Python 3 does."""
import os
import struct
import sys
import zlib

BACKGROUND = (0x0D, 0x10, 0x15)
ACCENT = (0x38, 0xBD, 0xF8)
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)
EMBEDDED_SIZES = (16, 32, 48, 64)
SUPERSAMPLING = 4

# Shapes in a unit square, y downwards.
CORNER_INSET, CORNER_RADIUS = 0.03, 0.2
BAR_CENTRE_Y, BAR_RADIUS = 0.40, 0.042
BARS = ((0.22, 0.10), (0.35, 0.20), (0.48, 0.27), (0.61, 0.16), (0.74, 0.08))  # (x, half height)
ARROW_Y, SHAFT_RADIUS = 0.80, 0.042
SHAFT_FROM, SHAFT_TO = 0.20, 0.64
HEAD_TIP, HEAD_BASE, HEAD_HALF = 0.84, 0.60, 0.13


def in_rounded_square(x, y):
    lo, hi = CORNER_INSET, 1.0 - CORNER_INSET
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + CORNER_RADIUS), hi - CORNER_RADIUS)
    cy = min(max(y, lo + CORNER_RADIUS), hi - CORNER_RADIUS)
    return (x - cx) ** 2 + (y - cy) ** 2 <= CORNER_RADIUS ** 2


def near_segment(x, y, x0, y0, x1, y1, radius):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
    px, py = x0 + t * dx - x, y0 + t * dy - y
    return px * px + py * py <= radius * radius


def in_arrow_head(x, y):
    if x < HEAD_BASE or x > HEAD_TIP:
        return False
    return abs(y - ARROW_Y) <= HEAD_HALF * (HEAD_TIP - x) / (HEAD_TIP - HEAD_BASE)


def in_mark(x, y):
    for bx, half in BARS:
        if near_segment(x, y, bx, BAR_CENTRE_Y - half, bx, BAR_CENTRE_Y + half, BAR_RADIUS):
            return True
    return near_segment(x, y, SHAFT_FROM, ARROW_Y, SHAFT_TO, ARROW_Y, SHAFT_RADIUS) or in_arrow_head(x, y)


def render(size):
    """Straight (not premultiplied) RGBA rows."""
    samples = SUPERSAMPLING * SUPERSAMPLING
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            square = mark = 0
            for sy in range(SUPERSAMPLING):
                for sx in range(SUPERSAMPLING):
                    x = (px + (sx + 0.5) / SUPERSAMPLING) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLING) / size
                    if in_rounded_square(x, y):
                        square += 1
                        if in_mark(x, y):
                            mark += 1
            alpha = square / samples
            if square == 0:
                row += bytes(4)
                continue
            t = mark / square
            colour = [round(b + (a - b) * t) for a, b in zip(ACCENT, BACKGROUND)]
            row += bytes(colour + [round(alpha * 255)])
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources", "icons")
    os.makedirs(folder, exist_ok=True)
    for size in PNG_SIZES:
        rows = render(size)
        with open(os.path.join(folder, f"wavelift-{size}.png"), "wb") as out:
            out.write(png(size, rows))
        if size in EMBEDDED_SIZES:
            with open(os.path.join(folder, f"wavelift-{size}.rgba"), "wb") as out:
                out.write(b"".join(rows))


if __name__ == "__main__":
    main()
