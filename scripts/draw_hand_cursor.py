#!/usr/bin/env python3
"""Draws the control's pointing-hand cursor (32 x 32, 16 colours, hot spot at
x 11, y 4) and writes it as a Windows .cur file: assets/cursors/hand.cur.

The picture is kept as text below so that it can be edited by hand:
'.' transparent, 'K' black outline, 'W' white fill, 'G' light-gray shade."""
import struct, sys

ROWS = [
    "................................",
    "................................",
    "................................",
    "..........KK....................",
    ".........KWWK...................",
    ".........KWWK...................",
    ".........KWWK...................",
    ".........KWWK...................",
    ".........KWWKKK.................",
    ".........KWWKWWKKK..............",
    ".........KWWKWWKWWKK............",
    ".........KWWKWWKWWKWK...........",
    "......KK.KWWWWWWWWKWWK..........",
    "......KWKKWWWWWWWWWWWK..........",
    "......KWWKWWWWWWWWWWWK..........",
    ".......KWWWWWWWWWWWWWK..........",
    ".......KWWWWWWWWWWWWWK..........",
    "........KWWWWWWWWWWWWK..........",
    "........KWWWWWWWWWWWK...........",
    ".........KWWWWWWWWWWK...........",
    ".........KWWWWWWWWWWK...........",
    "..........KWWWWWWWWK............",
    "..........KWWWWWWWWK............",
    "..........KGGGGGGGGK............",
    "..........KKKKKKKKKK............",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
]
HOTSPOT = (11, 4)
# The classic 16-colour palette; the picture uses black, white and light gray.
PALETTE = [(0,0,0),(128,0,0),(0,128,0),(128,128,0),(0,0,128),(128,0,128),(0,128,128),(192,192,192),
           (128,128,128),(255,0,0),(0,255,0),(255,255,0),(0,0,255),(255,0,255),(0,255,255),(255,255,255)]
INDEX = {"K": 0, "W": 15, "G": 7, ".": 0}

def main(out):
    w = h = 32
    # 4-bit colour (XOR) bitmap, bottom-up, rows padded to 4 bytes.
    xor = b""
    for row in reversed(ROWS):
        nibbles = [INDEX[c] for c in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, w, 2))
    # 1-bit transparency (AND) mask: 1 = transparent.
    mask = b""
    for row in reversed(ROWS):
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == "." else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", w, h, 16, 0, HOTSPOT[0], HOTSPOT[1], len(image), 22)
    with open(out, "wb") as f:
        f.write(directory + image)

if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "assets/cursors/hand.cur")
