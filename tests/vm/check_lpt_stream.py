#!/usr/bin/env python3
"""Compares the bytes that left the parallel port with the frames of an upgrade.

An upgrade over the parallel port writes, in order: the boot-switch frame
twice, the version frame with the image's version bytes, the erase frame,
each 512-byte packet as a data frame preceded by two zero bytes (the last one
zero-filled), and the finish frame. The frames are built here independently
of the tool: head 1E 12 55 00, command, 16-bit length (high byte first),
payload, CRC-16/UMTS over the rest (high byte first).

Usage: check_lpt_stream.py IMAGE CAPTURED
"""
import sys

KEY = b"Pemtrox\0"
PACKET = 512


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def frame(command, payload=b""):
    body = bytes([0x1E, 0x12, 0x55, 0x00, command, len(payload) >> 8, len(payload) & 0xFF]) + payload
    crc = crc16(body)
    return body + bytes([crc >> 8, crc & 0xFF])


def expected_stream(image):
    version = bytes(image[i] ^ KEY[i] for i in range(2))
    stream = image[8:] + bytes(8)
    out = frame(0x04) + frame(0x04) + frame(0x06, version) + frame(0x02)
    packets = 0
    for offset in range(0, len(stream), PACKET):
        packet = stream[offset:offset + PACKET]
        out += b"\0\0" + frame(0x03, packet + bytes(PACKET - len(packet)))
        packets += 1
    return out + frame(0x05), packets


def main():
    image = open(sys.argv[1], "rb").read()
    captured = open(sys.argv[2], "rb").read()
    wanted, packets = expected_stream(image)
    if captured == wanted:
        print(f"({len(captured)} bytes: 4 control frames, {packets} data frames each behind 00 00, the finish frame)")
        return 0
    first = next((i for i in range(min(len(captured), len(wanted))) if captured[i] != wanted[i]),
                 min(len(captured), len(wanted)))
    print(f"captured {len(captured)} bytes, expected {len(wanted)}; first difference at offset {first}: "
          f"got {captured[first:first + 12].hex()} wanted {wanted[first:first + 12].hex()}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
