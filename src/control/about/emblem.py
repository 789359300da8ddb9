#!/usr/bin/env python3
"""Draws the About dialog's 32 x 32 emblem and writes it as emblem.gif.

A blue rounded square with a white M and an orange underline, the look of a
link. Run it from any folder; it writes the file beside itself.
"""
import os

SIZE = 32
PALETTE = [(0, 0, 0), (0x1E, 0x4E, 0x9C), (0xFF, 0xFF, 0xFF), (0xF3, 0x9A, 0x1E)]
TRANSPARENT, BLUE, WHITE, ORANGE = range(4)


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    radius = 6
    for y in range(1, SIZE - 1):
        for x in range(1, SIZE - 1):
            # Rounded corners: outside the quarter circles stays transparent.
            cx = min(max(x, 1 + radius), SIZE - 2 - radius)
            cy = min(max(y, 1 + radius), SIZE - 2 - radius)
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2:
                pixels[y][x] = BLUE
    # The M: two stems and two diagonals that meet in the middle.
    for y in range(7, 22):
        for x in list(range(8, 11)) + list(range(21, 24)):
            pixels[y][x] = WHITE
    for step in range(0, 9):
        y = 7 + step
        for x in range(8 + step, 11 + step):
            if x <= 16:
                pixels[y][x] = WHITE
        for x in range(21 - step, 24 - step):
            if x >= 15:
                pixels[y][x] = WHITE
    # The underline of a link.
    for y in (24, 25):
        for x in range(7, 25):
            pixels[y][x] = ORANGE
    return pixels


def lzw_literal_codes(indices, min_code_size):
    """LZW data that sends every pixel as its own code, with a clear code
    often enough that the code width never grows: valid for every decoder."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    per_clear = (1 << width) - clear - 2  # codes the decoder can add before widening
    codes = []
    for i, index in enumerate(indices):
        if i % per_clear == 0:
            codes.append(clear)
        codes.append(index)
    codes.append(end)
    out, bits, count = bytearray(), 0, 0
    for code in codes:
        bits |= code << count
        count += width
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(pixels):
    min_code_size = 4  # a 16-entry colour table
    table = PALETTE + [(0, 0, 0)] * (16 - len(PALETTE))
    data = bytearray(b"GIF89a")
    data += SIZE.to_bytes(2, "little") * 2
    data += bytes([0xF3, 0, 0])  # global table of 16 colours
    for r, g, b in table:
        data += bytes([r, g, b])
    data += bytes([0x21, 0xF9, 4, 0x01, 0, 0, TRANSPARENT, 0])  # transparency
    data += bytes([0x2C]) + bytes(4) + SIZE.to_bytes(2, "little") * 2 + bytes([0])
    data.append(min_code_size)
    stream = lzw_literal_codes([i for row in pixels for i in row], min_code_size)
    for at in range(0, len(stream), 255):
        block = stream[at:at + 255]
        data.append(len(block))
        data += block
    data += bytes([0, 0x3B])
    return bytes(data)


if __name__ == "__main__":
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "emblem.gif")
    with open(path, "wb") as f:
        f.write(gif(draw()))
