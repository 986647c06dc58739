// The serial-port pipe on a pseudo-terminal; the test holds the other end.
#include "corvalink.h"
#include "device_map.h"
#include "pty_pair.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace {

using velloran::testing::DeviceMap;
using velloran::testing::MillisecondsOf;
using velloran::testing::PtyPair;

class ComPort : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = OpenComA("COM7", 9600);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) {
      EXPECT_NE(CloseCom(port_), 0);
    }
  }
  PtyPair pty_;
  DeviceMap map_{"COM7=" + pty_.slave_path()};
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(ComPort, OpensAtTheBaudRateWithEightDataBitsNoParityOneStopBitNoHandshake) {
  termios t{};
  ASSERT_EQ(tcgetattr(pty_.master(), &t), 0);  // the slave's settings
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(ComPort, AReadWithNothingArrivingReturnsEmptyAfterAboutFortyMilliseconds) {
  char buffer[10];
  DWORD read = 99;
  int result = -1;
  long long ms = MillisecondsOf([&] { result = ReadCom(port_, buffer, sizeof buffer, &read); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(read, 0u);
  EXPECT_GE(ms, 30);
  EXPECT_LT(ms, 400);
}

TEST_F(ComPort, AReadReturnsWhatHasArrived) {
  pty_.Write({0x1E, 0x12, 0x55});
  char buffer[10];
  DWORD read = 0;
  EXPECT_EQ(ReadCom(port_, buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(read, 3u);
}

TEST_F(ComPort, AWriteDiscardsInputThatWasNotRead) {
  pty_.Write({'o', 'l', 'd'});
  usleep(50000);
  DWORD written = 0;
  ASSERT_EQ(WriteCom(port_, "ping", 4, &written), 1);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(pty_.Read(4, std::chrono::seconds(2)), (std::vector<unsigned char>{'p', 'i', 'n', 'g'}));
  pty_.Write({'n', 'e', 'w'});
  char buffer[10] = {};
  DWORD read = 0;
  ASSERT_EQ(ReadCom(port_, buffer, sizeof buffer, &read), 1);
  EXPECT_EQ(std::string(buffer, read), "new");
}

TEST_F(ComPort, AHeldPortAndAMissingOneCannotBeOpened) {
  EXPECT_EQ(OpenComA("COM7", 9600), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenComW(L"COM7", 9600), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenComA("/dev/velloran-no-such-port", 9600), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenComA("COM200", 9600), INVALID_HANDLE_VALUE);
}

TEST(ComNoPort, AWriteOnMinusOneDoesNothing) {
  DWORD count = 77;
  EXPECT_EQ(WriteCom(INVALID_HANDLE_VALUE, "x", 1, &count), 0);
  EXPECT_EQ(count, 77u);
  // Reads and closes are the USB routines, checked with them.
}

}  // namespace
