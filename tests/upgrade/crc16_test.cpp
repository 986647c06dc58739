// The frame checksum against published check values and against a plain
// bit-by-bit implementation of the same polynomial.
#include "crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// CRC-16/UMTS one bit at a time, as the polynomial division is written down.
uint16_t BitwiseCrc16(const std::vector<uint8_t> &data) {
  uint16_t crc = 0;
  for (uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool top = (crc & 0x8000) != 0;
      const bool in = ((byte >> bit) & 1) != 0;
      crc = static_cast<uint16_t>(crc << 1);
      if (top != in) {
        crc ^= 0x8005;
      }
    }
  }
  return crc;
}

uint16_t Crc16Of(const std::vector<uint8_t> &data) {
  return Crc16(data.data(), static_cast<uint16_t>(data.size()));
}

TEST(Crc16, PublishedCheckValues) {
  EXPECT_EQ(Crc16Of({'a', 'b', 'c'}), 0xCADB);
  EXPECT_EQ(Crc16Of({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xFEE8);
  EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
  EXPECT_EQ(Crc16Of(std::vector<uint8_t>(50, 0)), 0x0000);
}

TEST(Crc16, AgreesWithBitwiseImplementationForEveryLengthUpTo600) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t length = 0; length <= 600; ++length) {
    std::vector<uint8_t> data(length);
    for (auto &b : data) b = static_cast<uint8_t>(byte(random));
    ASSERT_EQ(Crc16Of(data), BitwiseCrc16(data)) << "length " << length;
  }
}

TEST(AppendCrc16, StoresHighByteThenLowByteBehindThePrefix) {
  uint8_t buffer[6] = {'a', 'b', 'c', 0xEE, 0xEE, 0x55};
  AppendCrc16(buffer, 3);
  EXPECT_EQ(buffer[3], 0xCA);
  EXPECT_EQ(buffer[4], 0xDB);
  EXPECT_EQ(buffer[5], 0x55) << "nothing behind the checksum is touched";
  // A buffer finished this way checks to zero, the usual property of a CRC
  // without final XOR.
  EXPECT_EQ(Crc16(buffer, 5), 0);
}

}  // namespace
