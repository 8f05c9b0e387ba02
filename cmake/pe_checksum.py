#!/usr/bin/env python3
"""Writes the PE image checksum into the optional header of a Windows executable, so the
program can verify its own file at start.

usage: pe_checksum.py FILE...
"""
import struct
import sys


def checksum_offset(image, path):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: not a PE image")
    # Signature, file header (20 bytes), then CheckSum at offset 64 of the optional
    # header in both PE32 and PE32+.
    return pe + 4 + 20 + 64


def image_checksum(image, skip):
    total = 0
    padded = image + b"\0" if len(image) % 2 else image
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    total -= struct.unpack_from("<H", image, skip)[0] + struct.unpack_from("<H", image, skip + 2)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def main():
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            image = bytearray(f.read())
        skip = checksum_offset(image, path)
        struct.pack_into("<I", image, skip, image_checksum(bytes(image), skip))
        with open(path, "wb") as f:
            f.write(image)


if __name__ == "__main__":
    main()
