#!/usr/bin/env python3
"""Draws the application icon (resource 128) into Quorret.ico: a blue drive face with a
magnifying glass over it. 16, 32 and 48 pixels, 32-bit with alpha, shapes anti-aliased by
4x4 supersampling. Usage: res/draw-icon.py [OUTPUT]"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1


def shade(x, y):
    """Colour (r, g, b, a) at a point of the unit square, painted back to front."""
    colour = (0, 0, 0, 0)
    # Drive body with a vertical gradient.
    if rounded_rect(x, y, 0.06, 0.16, 0.94, 0.84, 0.12):
        t = (y - 0.16) / 0.68
        colour = (int(40 + 30 * (1 - t)), int(90 + 50 * (1 - t)), int(170 + 60 * (1 - t)), 255)
    # Drive slot and activity light.
    if rounded_rect(x, y, 0.16, 0.66, 0.56, 0.72, 0.03):
        colour = (20, 40, 80, 255)
    if (x - 0.78) ** 2 + (y - 0.69) ** 2 <= 0.045 ** 2:
        colour = (90, 230, 90, 255)
    # Magnifier: handle, then a ring with a pale lens.
    hx, hy = x - 0.64, y - 0.52
    along = (hx + hy) / math.sqrt(2)
    across = (hx - hy) / math.sqrt(2)
    if 0 <= along <= 0.36 and abs(across) <= 0.075:
        colour = (235, 150, 30, 255)
    d = math.hypot(x - 0.46, y - 0.36)
    if d <= 0.26:
        colour = (245, 180, 40, 255) if d >= 0.19 else (225, 240, 255, 235)
    return colour


def render(size):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = shade((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    """BITMAPINFOHEADER (double height for the mask), bottom-up BGRA rows, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else __file__.rsplit("/", 1)[0] + "/Quorret.ico"
    images = [dib(s, render(s)) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main()
