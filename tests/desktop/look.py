#!/usr/bin/env python3
"""Reads Xvfb's framebuffer (an XWD file) and checks what a person sees of the run
command: the device screen and the reader panel whole (no solid black block), apart,
and the card test dialog inside the device screen.

  look.py XWD_FILE --device X,Y,W,H --panel X,Y,W,H [--dialog X,Y,W,H]
  look.py XWD_FILE --digest X,Y,W,H    a digest of what that rectangle shows, to wait
                                       for it to change or to hold still

Rectangles are in root-window pixels. Prints what it found; exits 1 on a fault."""
import argparse
import hashlib
import struct
import sys

BLOCK = 16  # a solid black square this big is unpainted, not text or a line


def load(path):
    data = open(path, 'rb').read()
    header = struct.unpack('>25I', data[:100])
    header_size, width, height = header[0], header[4], header[5]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    if bits_per_pixel != 32:
        sys.exit('look: expected a 32-bit framebuffer, got %d bits a pixel' % bits_per_pixel)
    return width, height, bytes_per_line, data[header_size + 12 * ncolors:]


def rect(text):
    x, y, w, h = (int(v) for v in text.split(','))
    return x, y, w, h


def black_blocks(fb, r):
    """The top-left corners of BLOCK x BLOCK squares inside r whose pixels are all black."""
    width, height, stride, pixels = fb
    x0, y0 = max(r[0], 0), max(r[1], 0)
    x1, y1 = min(r[0] + r[2], width), min(r[1] + r[3], height)
    # For each row, how many black pixels follow each pixel (itself included).
    runs = []
    for y in range(y0, y1):
        row = pixels[y * stride + 4 * x0:y * stride + 4 * x1]
        run, following = [0] * (x1 - x0), 0
        for i in range(x1 - x0 - 1, -1, -1):
            following = following + 1 if row[4 * i] == row[4 * i + 1] == row[4 * i + 2] == 0 else 0
            run[i] = following
        runs.append(run)
    found = []
    for y in range(0, y1 - y0 - BLOCK + 1, BLOCK // 2):
        for x in range(0, x1 - x0 - BLOCK + 1, BLOCK // 2):
            if all(runs[y + k][x] >= BLOCK for k in range(BLOCK)):
                found.append((x0 + x, y0 + y))
    return found


def digest(fb, r):
    width, height, stride, pixels = fb
    x0, x1 = max(r[0], 0), min(r[0] + r[2], width)
    rows = (pixels[y * stride + 4 * x0:y * stride + 4 * x1] for y in range(max(r[1], 0), min(r[1] + r[3], height)))
    return hashlib.sha1(b''.join(rows)).hexdigest()


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def inside(inner, outer):
    return (inner[0] >= outer[0] and inner[1] >= outer[1] and
            inner[0] + inner[2] <= outer[0] + outer[2] and inner[1] + inner[3] <= outer[1] + outer[3])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('xwd')
    parser.add_argument('--digest', type=rect)
    parser.add_argument('--device', type=rect)
    parser.add_argument('--panel', type=rect)
    parser.add_argument('--dialog', type=rect)
    args = parser.parse_args()
    fb = load(args.xwd)
    if args.digest:
        print(digest(fb, args.digest))
        return 0
    if not args.device or not args.panel:
        parser.error('--device and --panel are needed')
    faults = []
    for name, r in (('device screen', args.device), ('panel', args.panel)):
        print('look: %s at (%d,%d), %d x %d' % ((name,) + r))
        if r[0] < 0 or r[1] < 0 or r[0] + r[2] > fb[0] or r[1] + r[3] > fb[1]:
            faults.append('the %s is not wholly on the %d x %d screen' % (name, fb[0], fb[1]))
        blocks = black_blocks(fb, r)
        if blocks:
            xs = [x for x, _ in blocks]
            ys = [y for _, y in blocks]
            faults.append('the %s has %d unpainted (solid black) %d x %d blocks, the first at (%d,%d), '
                          'all within (%d,%d)-(%d,%d)' % (name, len(blocks), BLOCK, BLOCK, blocks[0][0], blocks[0][1],
                                                         min(xs), min(ys), max(xs) + BLOCK, max(ys) + BLOCK))
    if overlap(args.device, args.panel):
        faults.append('the device screen and the panel overlap')
    if args.dialog:
        print('look: card test dialog at (%d,%d), %d x %d' % args.dialog)
        if not inside(args.dialog, args.device):
            faults.append('the card test dialog is not inside the device screen')
    for fault in faults:
        print('look: FAULT: ' + fault)
    if not faults:
        print('look: both windows whole and apart')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
