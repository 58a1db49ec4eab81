#!/usr/bin/env python3
"""Draws the hand pointer HAND-M.CUR: a white hand with a black outline whose index
finger points up; the finger's tip is the hot spot.

The file is a Windows cursor resource with one 32x32 image: a 32-bit BGRA colour
bitmap followed by its 1-bit AND mask (set bits are transparent).

    python3 tools/make_cursor.py resources/HAND-M.CUR
"""
import struct
import sys

# The hand, one text row per pixel row: "#" outline, "." inside, blank transparent.
HAND = [
    "          ###",
    "         #...#",
    "         #...#",
    "         #...#",
    "         #...#",
    "         #...#",
    "         #...#",
    "         #...####",
    "         #...#...####",
    "         #...#...#...###",
    "         #...#...#...#..#",
    "         #...#...#...#..#",
    "   ###   #...#...#...#..#",
    "  #...#  #...#...#...#..#",
    "  #....# #..............#",
    "   #....##..............#",
    "    #...................#",
    "     #..................#",
    "      #.................#",
    "       #................#",
    "        #...............#",
    "        #...............#",
    "         #.............#",
    "         #.............#",
    "          #............#",
    "          #...........#",
    "          #...........#",
    "          #############",
]

SIZE = 32
HOT_SPOT = (11, 0)  # the tip of the index finger

COLOURS = {"#": (0, 0, 0, 255), ".": (255, 255, 255, 255), " ": (0, 0, 0, 0)}


def draw_hand():
    rows = [row.ljust(SIZE) for row in HAND] + [" " * SIZE] * (SIZE - len(HAND))
    assert all(len(row) == SIZE for row in rows)
    return [[COLOURS[c] for c in row] for row in rows]


def cursor_file(img, hot_spot):
    header = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(img) for (r, g, b, a) in row)
    mask = bytearray()
    for row in reversed(img):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = info + colour + bytes(mask)
    offset = len(header) + 16
    # For a cursor the entry's planes and bit-count fields hold the hot spot.
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hot_spot[0], hot_spot[1], len(image), offset)
    return header + entry + image


def main(path):
    img = draw_hand()
    x, y = HOT_SPOT
    assert img[y][x][3] != 0, "the hot spot must lie on the hand"
    with open(path, "wb") as f:
        f.write(cursor_file(img, HOT_SPOT))


if __name__ == "__main__":
    main(sys.argv[1])
