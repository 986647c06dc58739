// The Windows build's narrow texts are in code page 936; what leaves the
// program as JSON must still be UTF-8.
#include <gtest/gtest.h>

#include "json_output.h"
#include "narrow_text.h"
#include "printable_text.h"

namespace {

TEST(NarrowTextWindows, CodePage936BecomesUtf8) {
  EXPECT_EQ(velloran::platform::NarrowTextToUtf8("\xC9\xFD\xBC\xB6\xA3\xA1"), "\xE5\x8D\x87\xE7\xBA\xA7\xEF\xBC\x81");
  EXPECT_EQ(velloran::platform::NarrowTextToUtf8("plain"), "plain");
  EXPECT_EQ(velloran::platform::NarrowTextToUtf8(""), "");
}

TEST(NarrowTextWindows, JsonCarriesTheStatusLinesInUtf8) {
  // The literal is compiled into code page 936 like every text of the build.
  EXPECT_EQ(velloran::cli::JsonLine(velloran::cli::JsonText("升级完成！\"x\"")),
            "\"\xE5\x8D\x87\xE7\xBA\xA7\xE5\xAE\x8C\xE6\x88\x90\xEF\xBC\x81\\\"x\\\"\"");
}

TEST(NarrowTextWindows, EscapingKeepsDoubleByteCharacters) {
  // "\x95\x5C" is one character whose second byte is a backslash's; a lone
  // backslash is still doubled.
  EXPECT_EQ(velloran::cli::PrintableText("C:\\\x95\x5C.upd"), "C:\\\\\x95\x5C.upd");
}

}  // namespace
