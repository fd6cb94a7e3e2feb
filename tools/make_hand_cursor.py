#!/usr/bin/env python3
"""Writes the program's hand cursor, resources/program/HAND-M.CUR, from the drawing below.

The cursor is a 32 x 32 monochrome Windows cursor (.cur): one image with a black outline, a
white fill and a transparent rest, its hot spot on the tip of the pointing finger. Run it by hand
after changing the drawing and commit the file it writes; `--check` only compares and exits 1
when the committed file differs.
"""

import pathlib
import struct
import sys

SIZE = 32

# '#' black, '-' white, '.' transparent; rows and columns past the drawing are transparent.
HAND = [
    "......###",
    ".....#---#",
    ".....#---#",
    ".....#---#",
    ".....#---#",
    ".....#---#",
    ".....#---#",
    ".....#---#",
    ".....#---####",
    ".....#---#---####",
    ".....#---#---#---###",
    ".....#---#---#---#--#",
    ".###.#---#---#---#--#",
    "#---##---#---#---#--#",
    "#----#--------------#",
    "#----#--------------#",
    ".#------------------#",
    "..#-----------------#",
    "...#---------------#",
    "....#-------------#",
    ".....#-----------#",
    ".....#-----------#",
    ".....#############",
    ".....#############",
]

# The middle of the fingertip's top row.
HOT_SPOT = (7, 0)


def pixel(x, y):
    if y < len(HAND) and x < len(HAND[y]):
        return HAND[y][x]
    return "."


def row_bits(y, is_set):
    value = 0
    for x in range(SIZE):
        value = (value << 1) | (1 if is_set(pixel(x, y)) else 0)
    return struct.pack(">I", value)


def cursor_bytes():
    # Bottom-up rows: the colour bits (1 white) and then the mask (1 transparent).
    colour = b"".join(row_bits(y, lambda p: p == "-") for y in reversed(range(SIZE)))
    mask = b"".join(row_bits(y, lambda p: p == ".") for y in reversed(range(SIZE)))
    palette = struct.pack("<4B4B", 0, 0, 0, 0, 255, 255, 255, 0)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0,
                         len(colour) + len(mask), 0, 0, 2, 0)
    image = header + palette + colour + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, HOT_SPOT[0], HOT_SPOT[1],
                        len(image), 6 + 16)
    return directory + entry + image


def main():
    assert pixel(*HOT_SPOT) == "#" and all(pixel(x, y) == "." for y in range(HOT_SPOT[1])
                                           for x in range(SIZE)), "hot spot off the fingertip"
    target = pathlib.Path(__file__).resolve().parent.parent / "resources/program/HAND-M.CUR"
    data = cursor_bytes()
    if "--check" in sys.argv[1:]:
        same = target.exists() and target.read_bytes() == data
        print(f"{target}: {'up to date' if same else 'differs from the drawing'}")
        return 0 if same else 1
    target.write_bytes(data)
    print(f"wrote {target} ({len(data)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
