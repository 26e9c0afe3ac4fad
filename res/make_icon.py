#!/usr/bin/env python3
"""Writes a 16-colour .ico (one 4-bit image per "size" block) from icon_art.txt."""
import struct
import sys

PALETTE = "KrgybmcsdRGYBMCW"  # index order of the standard 16-colour palette
RGB = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def read_images(path):
    images, rows, size = [], None, 0
    for line in open(path, encoding="ascii"):
        line = line.rstrip("\n")
        if line.startswith("#") or not line:
            continue
        if line.startswith("size "):
            size = int(line.split()[1])
            rows = []
            images.append((size, rows))
            continue
        if len(line) != size:
            sys.exit(f"row of {len(line)} pixels in a {size}-pixel image: {line!r}")
        rows.append(line)
    return images


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def image_data(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in RGB)
    colour, mask = b"", b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        nibbles = [0 if c == "." else PALETTE.index(c) for c in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour += packed.ljust(row_bytes(size * 4), b"\0")
        bits = "".join("1" if c == "." else "0" for c in row)
        packed = bytes(int(bits[i:i + 8], 2) for i in range(0, size, 8))
        mask += packed.ljust(row_bytes(size), b"\0")
    return header + palette + colour + mask


def main(source, target):
    images = read_images(source)
    blobs = [image_data(size, rows) for size, rows in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(target, "wb") as f:
        f.write(out + b"".join(blobs))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
