// The parallel-port pipe on a pseudo-terminal that stands in for LPT1.
#include "corvalink.h"
#include "device_map.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

namespace {

using velloran::testing::DeviceMap;
using velloran::testing::MillisecondsOf;
using velloran::testing::PtyPair;

class LptPort : public ::testing::Test {
 protected:
  PtyPair pty_;
  DeviceMap map_{"LPT1=" + pty_.slave_path()};
};

TEST_F(LptPort, AWriteReachesThePrinter) {
  HANDLE port = OpenLptA("LPT1");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  const unsigned char frame[] = {0x1E, 0x12, 0x55, 0x00, 0x20, 0x00, 0x00};
  DWORD written = 0;
  EXPECT_EQ(WriteLpt(port, frame, sizeof frame, &written), 1);
  EXPECT_EQ(written, sizeof frame);
  EXPECT_EQ(pty_.Read(sizeof frame, std::chrono::seconds(2)),
            std::vector<unsigned char>(frame, frame + sizeof frame));
  EXPECT_EQ(CloseLpt(port), 1);
  EXPECT_EQ(CloseLpt(port), 0);
}

TEST_F(LptPort, WideNameOpensTheSamePort) {
  HANDLE port = OpenLptW(L"LPT1");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_EQ(WriteLpt(port, "ok", 2, &written), 1);
  EXPECT_EQ(pty_.Read(2, std::chrono::seconds(2)), (std::vector<unsigned char>{'o', 'k'}));
  EXPECT_EQ(CloseLpt(port), 1);
}

TEST_F(LptPort, APrinterThatTakesNothingEndsTheWriteAfterItsTimeOut) {
  HANDLE port = OpenLptA("LPT1");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  // The printer stops taking data: the write ends after its time-out.
  pty_.StopOutput();

  const DWORD n = 500;
  std::vector<unsigned char> data(n, 0x55);
  DWORD written = 12345;
  int result = -1;
  long long ms = MillisecondsOf([&] { result = WriteLpt(port, data.data(), n, &written); });
  EXPECT_GE(ms, n + 2000 - 100);
  EXPECT_LT(ms, n + 2000 + 1500);
  // A short count, or a failed write: never all of it.
  EXPECT_TRUE(result == 0 || written < n) << result << " " << written;
  EXPECT_EQ(CloseLpt(port), 1);
}

TEST_F(LptPort, AHeldPortAndAMissingOneCannotBeOpened) {
  HANDLE port = OpenLptA("LPT1");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenLptA("LPT1"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CloseLpt(port), 1);
  HANDLE again = OpenLptA("LPT1");
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseLpt(again);
  EXPECT_EQ(OpenLptA("/dev/velloran-no-such-port"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenLptA(nullptr), INVALID_HANDLE_VALUE);
}

TEST(LptNoPort, CallsOnMinusOneDoNothing) {
  DWORD written = 77;
  EXPECT_EQ(WriteLpt(INVALID_HANDLE_VALUE, "x", 1, &written), 0);
  EXPECT_EQ(written, 77u);
  EXPECT_EQ(CloseLpt(INVALID_HANDLE_VALUE), 0);
}

}  // namespace
