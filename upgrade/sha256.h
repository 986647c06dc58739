// SHA-256 (FIPS 180-4) of a byte buffer, so that an image can be compared
// with the digest its publisher gives. Pure code: no operating-system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velloran {

class Sha256 {
 public:
  Sha256();
  void Add(const uint8_t *bytes, size_t length);
  // The digest of everything added; the object is used up.
  std::array<uint8_t, 32> Finish();

 private:
  void Block(const uint8_t *block);

  uint32_t state_[8];
  uint8_t pending_[64] = {};
  size_t pendingLength_ = 0;
  uint64_t totalLength_ = 0;
};

// The digest as 64 lowercase hexadecimal digits.
std::string Sha256Hex(const uint8_t *bytes, size_t length);

}  // namespace velloran
