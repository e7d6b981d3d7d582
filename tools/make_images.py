#!/usr/bin/env python3
"""Draws the program's icons and toolbar bitmap and writes them as .ico/.bmp files into res/.

The images are simple pixel drawings made here, so that they can be regenerated and
changed without an image editor:  python3 tools/make_images.py
"""
import os
import struct

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")


class Canvas:
    def __init__(self, w, h, bg=None):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]  # None = transparent, else (r, g, b)

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.px[y][x] = c

    def scaled(self, s):
        """A drawing made on a 16x16 grid, scaled by s."""
        out = Canvas(self.w * s, self.h * s)
        for y in range(out.h):
            for x in range(out.w):
                out.px[y][x] = self.px[y // s][x // s]
        return out


BLACK = (0, 0, 0)
DARK = (64, 64, 64)
GREY = (128, 128, 128)
WHITE = (255, 255, 255)
YELLOW = (240, 200, 64)
BROWN = (160, 112, 32)
BLUE = (48, 96, 192)
SKY = (160, 208, 255)
GREEN = (48, 160, 64)
RED = (200, 48, 48)


def folder():
    c = Canvas(16, 16)
    c.rect(1, 3, 7, 5, BROWN)
    c.rect(1, 5, 15, 14, YELLOW)
    c.frame(1, 5, 15, 14, BROWN)
    return c


def document():
    c = Canvas(16, 16)
    c.rect(3, 1, 13, 15, WHITE)
    c.frame(3, 1, 13, 15, DARK)
    for y in (4, 6, 8, 10, 12):
        c.rect(5, y, 11, y + 1, GREY)
    return c


def picture():
    c = Canvas(16, 16)
    c.rect(1, 2, 15, 14, SKY)
    c.frame(1, 2, 15, 14, DARK)
    c.disc(5, 6, 1.6, YELLOW)
    for i in range(6):
        c.rect(3 + i, 12 - i, 14 - i, 13 - i, GREEN)
    return c


def question():
    c = Canvas(16, 16)
    c.disc(7.5, 7.5, 7, BLUE)
    c.rect(5, 3, 10, 5, WHITE)
    c.rect(9, 5, 11, 8, WHITE)
    c.rect(7, 7, 9, 10, WHITE)
    c.rect(7, 11, 9, 13, WHITE)
    return c


def clipboard(c, x, y, s=1):
    """A clipboard with a sheet, drawn into a 16x16 cell at (x, y) scaled by s."""
    def r(x0, y0, x1, y1, col):
        c.rect(x + x0 * s, y + y0 * s, x + x1 * s, y + y1 * s, col)
    r(2, 2, 14, 16, BROWN)
    r(4, 4, 12, 15, WHITE)
    r(5, 1, 11, 4, GREY)
    for yy in (6, 8, 10, 12):
        r(5, yy, 11, yy + 1, GREY)


def app_icon():
    c = Canvas(16, 16)
    clipboard(c, 0, 0)
    c.rect(9, 9, 16, 16, BLUE)
    c.rect(11, 11, 14, 14, WHITE)
    return c


def write_ico(path, images):
    """32-bit ARGB icon images with their AND masks."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        w, h = img.w, img.h
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                p = img.px[y][x]
                xor += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
        stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(w):
                if img.px[y][x] is None:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        blob = header + xor + mask
        entries.append(struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)))
        for e in entries:
            f.write(e)
        for b in blobs:
            f.write(b)


PALETTE16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
             (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
             (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(c):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE16[i], c)))


def write_bmp16(path, img, bg):
    """A 4-bit bitmap with the standard 16-colour palette; transparent pixels get `bg`."""
    w, h = img.w, img.h
    stride = ((w * 4 + 31) // 32) * 4
    bits = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            p = img.px[y][x]
            i = nearest(bg if p is None else p)
            row[x // 2] |= i << 4 if x % 2 == 0 else i
        bits += row
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE16)
    offset = 14 + 40 + len(palette)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(bits), 0, 0, offset))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(bits), 2835, 2835, 16, 0))
        f.write(palette + bits)


def toolbar():
    """Three 48x47 buttons: paste, paste special, set default view."""
    c = Canvas(144, 47)
    # Paste: a clipboard.
    clipboard(c, 8, 7, 2)
    # Paste special: a clipboard and a list of formats.
    clipboard(c, 48 + 2, 7, 2)
    c.rect(48 + 30, 18, 48 + 46, 42, WHITE)
    c.frame(48 + 30, 18, 48 + 46, 42, BLACK)
    for i, col in enumerate((RED, GREEN, BLUE, BLACK)):
        c.rect(48 + 33, 21 + i * 5, 48 + 43, 24 + i * 5, col)
    # Set default: a tab with a check mark.
    c.rect(96 + 8, 10, 96 + 40, 40, WHITE)
    c.frame(96 + 8, 10, 96 + 40, 40, BLACK)
    c.rect(96 + 8, 6, 96 + 22, 11, WHITE)
    c.frame(96 + 8, 6, 96 + 22, 11, BLACK)
    for i in range(6):
        c.rect(96 + 14 + i, 24 + i, 96 + 17 + i, 27 + i, GREEN)
    for i in range(12):
        c.rect(96 + 20 + i, 29 - i, 96 + 23 + i, 32 - i, GREEN)
    return c


def main():
    write_ico(os.path.join(RES, "Kavilo.ico"), [app_icon(), app_icon().scaled(2)])
    for name, draw in (("folder", folder), ("document", document), ("picture", picture), ("question", question)):
        write_ico(os.path.join(RES, name + ".ico"), [draw(), draw().scaled(2)])
    write_bmp16(os.path.join(RES, "toolbar.bmp"), toolbar(), (192, 192, 192))


if __name__ == "__main__":
    main()
