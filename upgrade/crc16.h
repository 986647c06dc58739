// The 16-bit checksum that protects every frame in both directions:
// CRC-16/UMTS (polynomial 0x8005, initial value 0, no reflection, no final
// XOR), computed with a 256-entry table.
#pragma once

#include <cstdint>

// Checksum of the first length bytes of data.
uint16_t Crc16(const uint8_t *data, uint16_t length);

// Stores Crc16(buffer, n) behind the first n bytes: high byte at buffer[n],
// low byte at buffer[n + 1]. The buffer must hold n + 2 bytes.
void AppendCrc16(uint8_t *buffer, uint16_t n);
