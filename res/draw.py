#!/usr/bin/env python3
"""Draws the program's bitmap and cursor resources into res/ (our own artwork, pixel by pixel).

Each resource is a function that returns the file's bytes; RESOURCES maps file names to them,
so a new resource is one more function and one more entry. Run: python3 res/draw.py [--check]
(--check compares with the committed files instead of writing them).
"""
import struct
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

MAGENTA = (255, 0, 255)  # transparent in the list's image strip
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


# --- file formats -------------------------------------------------------------------------

def bmp24(pixels):
    """A bottom-up 24-bit BMP from rows of (r, g, b), top row first."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        body += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(body), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + bytes(body)


def cursor32(art, hotspot):
    """A 32x32 monochrome .cur from ASCII art: 'X' black, '.' white, anything else transparent."""
    size = 32
    grid = [row.ljust(size)[:size] for row in art] + [""] * (size - len(art))
    grid = [row.ljust(size) for row in grid]

    def mask(bit_of):
        data = bytearray()
        for row in reversed(grid):  # bottom-up
            bits = 0
            for ch in row:
                bits = (bits << 1) | bit_of(ch)
            data += bits.to_bytes(4, "big")
        return bytes(data)

    xor = mask(lambda ch: 1 if ch == "." else 0)
    and_ = mask(lambda ch: 0 if ch in "X." else 1)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + xor + and_
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


# --- the list's image strip: ten images, drawn at 16, 24 and 32 pixels ----------------------

class Canvas:
    """A strip drawn in units of the 16-pixel image: at `size` pixels a unit is size / 16 pixels,
    so one drawing serves every size. Lines keep one thickness (a unit pixel becomes a square of
    that many pixels); at 16 pixels a unit is exactly one pixel."""

    def __init__(self, images, size, fill):
        self.scale = size / 16
        self.width = images * size
        self.px = [[fill] * self.width for _ in range(size)]
        self.line = max(1, self.at(1))

    def at(self, units):
        return int(units * self.scale + 0.5)

    def fill(self, x0, y0, x1, y1, colour):  # pixels, right and bottom excluded
        for y in range(max(y0, 0), min(y1, len(self.px))):
            for x in range(max(x0, 0), min(x1, self.width)):
                self.px[y][x] = colour

    def set(self, x, y, colour):
        self.fill(self.at(x), self.at(y), self.at(x) + self.line, self.at(y) + self.line, colour)

    def rect(self, x0, y0, x1, y1, colour):  # inclusive
        self.fill(self.at(x0), self.at(y0), self.at(x1 + 1), self.at(y1 + 1), colour)

    def frame(self, x0, y0, x1, y1, colour, units=1):
        left, top, right, bottom = self.at(x0), self.at(y0), self.at(x1 + 1), self.at(y1 + 1)
        t = max(self.line, self.at(units))
        self.fill(left, top, right, top + t, colour)
        self.fill(left, bottom - t, right, bottom, colour)
        self.fill(left, top, left + t, bottom, colour)
        self.fill(right - t, top, right, bottom, colour)


def box(c, ox, border=(28, 28, 28)):
    """The check-box square shared by images 2 to 5, 8 and 9: 13x13 with a white inside."""
    c.rect(ox + 1, 1, ox + 13, 13, WHITE)
    c.frame(ox + 1, 1, ox + 13, 13, border)


def check_mark(c, ox, colour):
    points = [(3, 7), (4, 8), (5, 9), (6, 10), (7, 9), (8, 8), (9, 7), (10, 6), (11, 5)]
    for x, y in points:
        for dy in (0, -1, -2):
            c.set(ox + x, y + dy + 1, colour)


def cross(c, ox, colour):
    for i in range(7):
        for d in (0, 1):
            c.set(ox + 4 + i + d, 4 + i, colour)
            c.set(ox + 10 - i + d, 4 + i, colour)


def sort_arrow(c, ox, up):
    # A small solid triangle in the top rows: the header draws it with its top at mid-height - 3.
    for i in range(5):
        y = (4 - i) if up else i
        c.rect(ox + 3 + i, y + 1, ox + 11 - i, y + 1, (90, 90, 90))


def padlock(c, ox):
    shackle = (110, 110, 120)
    c.frame(ox + 5, 1, ox + 10, 8, shackle, units=2)  # its foot hides behind the body
    body, dark = (222, 170, 40), (150, 105, 10)
    c.rect(ox + 3, 7, ox + 12, 14, body)
    c.frame(ox + 3, 7, ox + 12, 14, dark)
    c.rect(ox + 7, 9, ox + 8, 12, dark)


def paper_clip(c, ox):
    """Two nested loops of wire, the inner one open at the top."""
    wire = (70, 90, 120)
    for y in range(3, 14):
        c.set(ox + 5, y, wire)
    for y in range(2, 12):
        c.set(ox + 10, y, wire)
    for x in range(6, 10):
        c.set(ox + x, 1, wire)
    for x in range(6, 8):
        c.set(ox + x, 14, wire)
    for y in range(4, 14):
        c.set(ox + 8, y, wire)
    c.set(ox + 5, 2, wire)
    c.set(ox + 8, 14, wire)


def list_images(size):
    c = Canvas(10, size, MAGENTA)
    sort_arrow(c, 0, up=True)
    sort_arrow(c, 16, up=False)
    box(c, 32)
    box(c, 48)
    check_mark(c, 48, (30, 80, 220))
    box(c, 64)
    check_mark(c, 64, (30, 150, 40))
    box(c, 80)
    cross(c, 80, (210, 30, 30))
    padlock(c, 96)
    paper_clip(c, 112)
    box(c, 128)
    check_mark(c, 128, BLACK)
    box(c, 144)
    cross(c, 144, BLACK)
    return bmp24(c.px)


# --- cursors ------------------------------------------------------------------------------

DIVIDER = [
    "            .XX.",
    "            .XX.",
    "            .XX.",
    "            .XX.",
    "     .      .XX.      .",
    "    .X.     .XX.     .X.",
    "   .XX.......XX.......XX.",
    "  .XXXXXXXXX.XX.XXXXXXXXX.",
    "   .XX.......XX.......XX.",
    "    .X.     .XX.     .X.",
    "     .      .XX.      .",
    "            .XX.",
    "            .XX.",
    "            .XX.",
    "            .XX.",
]

HAND = [
    "     XX",
    "    X..X",
    "    X..X",
    "    X..X",
    "    X..XXX",
    "    X..X..XXX",
    "    X..X..X..XX",
    " XX X..X..X..X.X",
    "X..XX........X.X",
    "X...X..........X",
    " X.............X",
    "  X............X",
    "  X...........X",
    "   X..........X",
    "   X.........X",
    "    X........X",
    "    X........X",
    "    XXXXXXXXXX",
]


def divider_cursor():
    return cursor32(DIVIDER, (13, 7))


def hyperlink_cursor():
    return cursor32(HAND, (5, 0))


RESOURCES = {
    "ListImages.bmp": lambda: list_images(16),    # bitmap 204, below 144 DPI
    "ListImages24.bmp": lambda: list_images(24),  # bitmap 205, from 144 DPI
    "ListImages32.bmp": lambda: list_images(32),  # bitmap 206, from 192 DPI
    "Divider.cur": divider_cursor,                # cursor 202
    "Hyperlink.cur": hyperlink_cursor,            # cursor 203
}


def main(argv):
    check = "--check" in argv
    stale = []
    for name, draw in RESOURCES.items():
        data = draw()
        path = HERE / name
        if check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(name)
        else:
            path.write_bytes(data)
    if stale:
        print("out of date:", ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
