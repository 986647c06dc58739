#include "crc16.h"

#include <array>

namespace {

// Entry i is the checksum of the single byte i.
constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x8005) : static_cast<uint16_t>(crc << 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x8005 && kTable[2] == 0x800F && kTable[3] == 0x000A);

}  // namespace

uint16_t Crc16(const uint8_t *data, uint16_t length) {
  uint16_t crc = 0;
  for (uint16_t i = 0; i < length; ++i) {
    const uint8_t index = static_cast<uint8_t>((crc >> 8) ^ data[i]);
    crc = static_cast<uint16_t>((crc << 8) ^ kTable[index]);
  }
  return crc;
}

void AppendCrc16(uint8_t *buffer, uint16_t n) {
  const uint16_t crc = Crc16(buffer, n);
  buffer[n] = static_cast<uint8_t>(crc >> 8);
  buffer[n + 1] = static_cast<uint8_t>(crc & 0xFF);
}
