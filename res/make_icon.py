#!/usr/bin/env python3
"""Writes the program's icon, stripewell.ico, from the pixel grids in app-icon.txt.

    res/make_icon.py            rewrite res/stripewell.ico
    res/make_icon.py --check    exit 1 when res/stripewell.ico is not what the grids give

Every image is 16 colours (4 bits a pixel) with the standard palette and a 1-bit mask
for the transparent pixels.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "app-icon.txt")
TARGET = os.path.join(HERE, "stripewell.ico")

# The standard 16-colour palette, in its usual order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Letters of the grids and their palette index; "." is transparent.
COLOURS = {"K": 0, "R": 1, "G": 8, "S": 7, "N": 4, "B": 12, "C": 14, "Y": 11, "W": 15}
TRANSPARENT = "."


def read_images(path):
    """The grids of the source file, as a list of (size, rows)."""
    images = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("image "):
                images.append((int(line.split()[1]), []))
                continue
            if not images:
                sys.exit(f"{path}:{number}: pixels before the first 'image' line")
            size, rows = images[-1]
            if len(line) != size or any(c != TRANSPARENT and c not in COLOURS for c in line):
                sys.exit(f"{path}:{number}: expected {size} pixels of {TRANSPARENT}{''.join(COLOURS)}")
            rows.append(line)
    for size, rows in images:
        if len(rows) != size:
            sys.exit(f"{path}: the {size} x {size} image has {len(rows)} rows")
    return images


def padded(row_bytes):
    """A bitmap row padded to whole 32-bit words."""
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def encode_image(size, rows):
    """One icon image: header, palette, colour bits and mask, rows bottom up."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = b""
    mask = b""
    for row in reversed(rows):
        indices = [COLOURS.get(c, 0) for c in row]
        colour += padded(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2)))
        bits = [1 if c == TRANSPARENT else 0 for c in row]
        mask += padded(bytes(sum(bits[i + k] << (7 - k) for k in range(8)) for i in range(0, size, 8)))
    return header + palette + colour + mask


def encode_icon(images):
    blobs = [encode_image(size, rows) for size, rows in images]
    directory = struct.pack("<HHH", 0, 1, len(blobs))
    offset = len(directory) + 16 * len(blobs)
    for (size, _), blob in zip(images, blobs):
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return directory + b"".join(blobs)


def main(argv):
    icon = encode_icon(read_images(SOURCE))
    if argv[1:] == ["--check"]:
        with open(TARGET, "rb") as current:
            if current.read() != icon:
                sys.exit(f"{TARGET} is out of date: run {os.path.relpath(__file__)}")
        return
    if argv[1:]:
        sys.exit(__doc__)
    with open(TARGET, "wb") as out:
        out.write(icon)


if __name__ == "__main__":
    main(sys.argv)
