#!/usr/bin/env python3
"""Writes HAND-M.CUR: a 32x32 monochrome Windows cursor of a pointing hand, hot spot at the
fingertip. Run from anywhere; the file lands beside this script."""

import os
import struct

SIZE = 32
HOT_SPOT = (5, 0)

# White fill of the hand as (row, first column, last column) runs; the black outline is every
# pixel that touches the fill on one of its four sides.
FILL = (
    [(r, 5, 6) for r in range(1, 11)]                # index finger, tip at the top
    + [(r, 8, 9) for r in range(6, 11)]              # middle finger
    + [(r, 11, 12) for r in range(7, 11)]            # ring finger
    + [(r, 14, 15) for r in range(9, 11)]            # little finger
    + [(10, 1, 2), (11, 1, 3), (12, 2, 4), (13, 3, 4), (14, 3, 4), (15, 4, 4)]  # thumb
    + [(r, 5, 15) for r in range(11, 19)]            # palm
    + [(r, 6, 14) for r in range(19, 22)]            # wrist
)


def pixels():
    fill = {(r, c) for r, a, b in FILL for c in range(a, b + 1)}
    outline = {(r + dr, c + dc) for r, c in fill for dr, dc in ((1, 0), (-1, 0), (0, 1), (0, -1))} - fill
    return fill, outline


def mask_rows(on):
    """Bottom-up rows of 1-bit pixels, each row padded to 4 bytes, most significant bit first."""
    data = bytearray()
    for r in reversed(range(SIZE)):
        bits = 0
        for c in range(SIZE):
            bits = (bits << 1) | (1 if on(r, c) else 0)
        data += struct.pack(">I", bits)
    return bytes(data)


def cursor_bytes():
    fill, outline = pixels()
    hand = fill | outline
    # Monochrome cursor: AND 1 + XOR 0 is transparent, AND 0 with colour index 0 black, 1 white.
    xor = mask_rows(lambda r, c: (r, c) in fill)
    and_ = mask_rows(lambda r, c: (r, c) not in hand)
    palette = struct.pack("<4B4B", 0, 0, 0, 0, 255, 255, 255, 0)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 0)
    image = header + palette + xor + and_
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "HAND-M.CUR")
    with open(out, "wb") as f:
        f.write(cursor_bytes())
