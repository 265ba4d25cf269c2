#!/usr/bin/env python3
"""Draws the small pictures of the sample site and packs its download, with the standard library
only. The files are committed; run this again only to change them: python3 make-site-images.py"""
import os
import struct
import zipfile
import zlib

SITE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "site")

AMBER = (227, 167, 47)
DARK = (43, 33, 24)
CREAM = (253, 248, 236)
PURPLE = (128, 70, 150)
GREEN = (96, 150, 70)
WING = (200, 225, 240)
GREY = (150, 150, 150)
BRICK = (160, 80, 50)
ROAD = (215, 200, 170)


def png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def gif(path, pixels):
    """A GIF whose LZW stream sends every pixel as a literal code, clearing the table before it
    grows, so no dictionary is needed: fine for pictures this small."""
    height, width = len(pixels), len(pixels[0])
    palette = sorted({p for row in pixels for p in row})
    index = {p: i for i, p in enumerate(palette)}
    table = b"".join(bytes(p) for p in palette) + b"\0" * (3 * (128 - len(palette)))
    min_code, clear, end = 7, 128, 129
    codes = []
    for n, p in enumerate(p for row in pixels for p in row):
        if n % 100 == 0:
            codes.append(clear)
        codes.append(index[p])
    codes.append(end)
    bits, nbits, data = 0, 0, bytearray()
    for code in codes:  # 8-bit codes, least significant bit first
        bits |= code << nbits
        nbits += 8
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    with open(path, "wb") as f:
        f.write(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF6, 0, 0) + table)
        f.write(b"," + struct.pack("<HHHHB", 0, 0, width, height, 0))
        f.write(bytes([min_code]) + blocks + b"\0;")


def bee(size):
    rows = []
    c = (size - 1) / 2
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = (x - c) / (size * 0.42), (y - c - size * 0.05) / (size * 0.3)
            wx, wy = (x - c) / (size * 0.22), (y - size * 0.25) / (size * 0.18)
            if dx * dx + dy * dy <= 1:
                row.append(DARK if int((x - c + size) / (size / 6)) % 2 == 0 else AMBER)
            elif (abs(wx) - 1) ** 2 + wy * wy <= 1:
                row.append(WING)
            else:
                row.append(CREAM)
        rows.append(row)
    return rows


def logo():
    rows = bee(32)
    for y in range(26, 32):  # a thistle head under the bee
        for x in range(12, 20):
            rows[y][x] = PURPLE if (x + y) % 2 else GREEN
    return rows


def comb(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx = (x + (y // 4 % 2) * 2) % 4
            edge = y % 4 == 0 or cx == 0
            row.append(DARK if edge else AMBER)
        rows.append(row)
    return rows


def village():
    rows = [[ROAD for _ in range(48)] for _ in range(32)]
    for y in range(4, 22):
        for x in range(4, 26):
            rows[y][x] = GREEN
    for y in range(6, 18):
        for x in range(32, 42):
            rows[y][x] = GREY
    for y in range(2, 6):
        for x in range(36, 38):
            rows[y][x] = GREY
    for y in range(24, 30):
        for x in range(30, 44):
            rows[y][x] = BRICK
    return rows


def main():
    png(os.path.join(SITE, "images", "logo.png"), logo())
    png(os.path.join(SITE, "images", "comb.png"), comb(16))
    gif(os.path.join(SITE, "images", "bee.gif"), bee(16))
    gif(os.path.join(SITE, "images", "map.gif"), village())
    with zipfile.ZipFile(os.path.join(SITE, "downloads", "hive-plans.zip"), "w",
                         zipfile.ZIP_DEFLATED) as archive:
        info = zipfile.ZipInfo("hive-plans/README.txt", date_time=(1987, 5, 1, 12, 0, 0))
        archive.writestr(info, "National hive, Thistledown pattern.\n"
                               "Brood box: 460 x 460 mm outside, 225 mm deep.\n"
                               "Super: 460 x 460 mm outside, 150 mm deep.\n"
                               "Cut all joints square; the bees will propolise the rest.\n")


if __name__ == "__main__":
    main()
