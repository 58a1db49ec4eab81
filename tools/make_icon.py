#!/usr/bin/env python3
"""Draws the application icon: two list sheets side by side with a tick between them."""
import struct
import sys
import zlib

SIZE = 64


def blend(img, x, y, colour):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        img[y][x] = colour


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            blend(img, x, y, colour)


def rounded(img, x0, y0, x1, y1, r, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            cx = min(max(x, x0 + r), x1 - 1 - r)
            cy = min(max(y, y0 + r), y1 - 1 - r)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                blend(img, x, y, colour)


def thick_line(img, x0, y0, x1, y1, width, colour):
    steps = max(abs(x1 - x0), abs(y1 - y0)) * 4
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i / steps
        y = y0 + (y1 - y0) * i / steps
        for dy in range(-width, width + 1):
            for dx in range(-width, width + 1):
                if dx * dx + dy * dy <= width * width:
                    blend(img, int(round(x + dx)), int(round(y + dy)), colour)


def png(img):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in img)
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    clear = (0, 0, 0, 0)
    img = [[clear] * SIZE for _ in range(SIZE)]
    rounded(img, 2, 2, 62, 62, 10, (32, 86, 160, 255))
    for x0 in (9, 35):
        rounded(img, x0, 10, x0 + 20, 54, 3, (250, 250, 250, 255))
        for y in range(16, 50, 6):
            rect(img, x0 + 4, y, x0 + 16, y + 2, (120, 140, 170, 255))
    thick_line(img, 22, 36, 30, 46, 3, (40, 170, 80, 255))
    thick_line(img, 30, 46, 46, 22, 3, (40, 170, 80, 255))
    with open(path, "wb") as f:
        f.write(png(img))


if __name__ == "__main__":
    main(sys.argv[1])
