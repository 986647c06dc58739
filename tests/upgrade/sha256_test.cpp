// SHA-256 against the standard's and common known vectors, including the
// lengths around the padding's block boundary and input fed in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "sha256.h"

namespace velloran {
namespace {

std::string HexOf(const std::string &text) {
  return Sha256Hex(reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

TEST(Sha256, KnownVectors) {
  const struct {
    std::string input;
    const char *digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 56 bytes: the length needs a new block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"The quick brown fox jumps over the lazy dog",
       "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto &c : cases) EXPECT_EQ(HexOf(c.input), c.digest) << c.input.size() << " bytes";
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>(i * 7);
  Sha256 hash;
  for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 2 % 97 + 1) {
    const size_t length = std::min(step, text.size() - at);
    hash.Add(reinterpret_cast<const uint8_t *>(text.data() + at), length);
  }
  const auto digest = hash.Finish();
  std::string hex;
  for (uint8_t byte : digest) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  EXPECT_EQ(hex, HexOf(text));
}

}  // namespace
}  // namespace velloran
