// WideCharToMultiByte into UTF-8, as Windows documents it.
#include "win32_setupapi.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(WideCharToMultiByte, AsksForTheSizeThenConvertsWithTheTerminatingZero) {
  const wchar_t *text = L"\\\\?\\usb#vid_067b";
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  ASSERT_EQ(size, 17);
  char out[32];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, nullptr, nullptr), size);
  EXPECT_STREQ(out, "\\\\?\\usb#vid_067b");
}

TEST(WideCharToMultiByte, WritesUtf8ForTextBeyondAscii) {
  const wchar_t text[] = {0x5347, 0x7EA7, 0xFF01, 0};  // 升级！
  char out[16] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 3, out, sizeof out, nullptr, nullptr), 9);
  EXPECT_EQ(std::string(out, 9), "\xE5\x8D\x87\xE7\xBA\xA7\xEF\xBC\x81");
}

TEST(WideCharToMultiByte, ABufferTooSmallFailsAndBadArgumentsAreRefused) {
  char out[4];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"printer", -1, out, sizeof out, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, out, sizeof out, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", 0, out, sizeof out, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
