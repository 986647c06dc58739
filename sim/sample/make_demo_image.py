#!/usr/bin/env python3
"""Writes demo.upd, a small firmware image for demonstrations.

The header descrambles to the version bytes 04 00 ("V4.0"); the image data is
a banner followed by deterministic pseudo-random bytes, 4992 bytes in all, so
that with a packet size of 512 the image makes 9 full packets and a short one.

Usage: make_demo_image.py [output]   (default: demo.upd next to this script)
"""
import os
import sys

KEY = b"Pemtrox\0"
HEADER = bytes([0x04, 0x00]) + b"DEMO" + bytes([0x01, 0x00])
DATA_SIZE = 4992


def image_bytes():
    banner = b"VELLORAN DEMONSTRATION FIRMWARE 4.0\0"
    data = bytearray(banner)
    state = 0x2545F491
    while len(data) < DATA_SIZE:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        data.append((state >> 16) & 0xFF)
    scrambled = bytes(h ^ k for h, k in zip(HEADER, KEY))
    return scrambled + bytes(data)


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.upd")
    path = sys.argv[1] if len(sys.argv) > 1 else default
    with open(path, "wb") as out:
        out.write(image_bytes())
    print(f"{path}: {8 + DATA_SIZE} bytes, version bytes {HEADER[0]:02X} {HEADER[1]:02X}")


if __name__ == "__main__":
    main()
