#!/usr/bin/env python3
"""Share of neighbouring pixel pairs whose colours differ strongly, in 24-bit bitmaps.

A pair is a pixel and its right or lower neighbour; it differs strongly when the distance
between their red, green and blue values (0 to 255 each) is above the threshold (64 unless
given). A picture whose colours are noise counts about half its pairs; one that shows
structure, a few in a hundred.

    python3 scripts/neighbour-contrast.py [--threshold T] PICTURE.bmp ...
"""
import argparse
import struct
import sys


def rows_of(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError("not a bitmap")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    if struct.unpack_from("<H", data, 28)[0] != 24 or width <= 0 or height == 0:
        raise ValueError("not a 24-bit bitmap")
    stride = (width * 3 + 3) & ~3
    if offset + stride * abs(height) > len(data):
        raise ValueError("shorter than its rows")
    return [[data[offset + r * stride + 3 * x: offset + r * stride + 3 * x + 3]
             for x in range(width)] for r in range(abs(height))]


def strong_share(rows, threshold):
    limit = threshold * threshold
    strong = pairs = 0
    for y, row in enumerate(rows):
        for x, here in enumerate(row):
            for there in ([row[x + 1]] if x + 1 < len(row) else []) + \
                         ([rows[y + 1][x]] if y + 1 < len(rows) else []):
                pairs += 1
                strong += sum((a - b) ** 2 for a, b in zip(here, there)) > limit
    return strong / pairs if pairs else 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--threshold", type=float, default=64.0)
    parser.add_argument("pictures", nargs="+")
    args = parser.parse_args()
    status = 0
    for path in args.pictures:
        try:
            print(f"{path}: {100 * strong_share(rows_of(path), args.threshold):.1f} %")
        except (OSError, ValueError) as error:
            print(f"{path}: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
