// The bytes of the printer commands that SendInstruction sends.
#include "printer_command.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using velloran::transport::MakePrinterCommand;
using Bytes = std::vector<unsigned char>;

Bytes CommandBytes(DWORD command, DWORD p1, DWORD p2, DWORD p3) {
  auto c = MakePrinterCommand(command, p1, p2, p3);
  return c ? Bytes(c->bytes, c->bytes + c->length) : Bytes{};
}

TEST(PrinterCommand, EachCommandHasItsBytesAndLength) {
  EXPECT_EQ(CommandBytes(0, 1, 2, 3), (Bytes{0x1D, 0x56, 0x01}));
  EXPECT_EQ(CommandBytes(1, 0x38, 2, 3), (Bytes{0x1B, 0x21, 0x38}));
  EXPECT_EQ(CommandBytes(2, 3, 2, 1), (Bytes{0x1D, 0x2F, 0x03}));
  EXPECT_EQ(CommandBytes(3, 0, 25, 250), (Bytes{0x1B, 0x70, 0x00, 0x19, 0xFA}));
  EXPECT_EQ(CommandBytes(4, 1, 2, 3), (Bytes{0x1B, 0x42, 0x01, 0x02}));
  EXPECT_EQ(CommandBytes(5, 1, 2, 3), (Bytes{0x1B, 0x43, 0x01, 0x02, 0x03}));
}

TEST(PrinterCommand, ParametersGiveTheirLowBytesAndUnknownCommandsNothing) {
  EXPECT_EQ(CommandBytes(3, 0x1234, 0xFFFFFF01, 0x100), (Bytes{0x1B, 0x70, 0x34, 0x01, 0x00}));
  EXPECT_FALSE(MakePrinterCommand(6, 0, 0, 0));
  EXPECT_FALSE(MakePrinterCommand(0xFFFFFFFF, 0, 0, 0));
}

}  // namespace
