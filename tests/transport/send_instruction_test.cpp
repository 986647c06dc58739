// SendInstruction: a printer command over each link.
#include "corvalink.h"
#include "device_map.h"
#include "loopback_listener.h"
#include "pty_pair.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using velloran::testing::DeviceMap;
using velloran::testing::LoopbackListener;
using velloran::testing::PtyPair;
using Bytes = std::vector<unsigned char>;

class SendOverNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(InitNetSev(), 1);
    timeval wait{2, 0};
    ASSERT_EQ(ConnectNetPort(&slot_, &listener_.address(), &wait), 1);
    peer_ = listener_.Accept();
    ASSERT_GE(peer_, 0);
  }
  void TearDown() override {
    CloseNetPor(&slot_);
    if (peer_ >= 0) close(peer_);
    CloseNetServ();
  }
  // What reached the printer within a short wait.
  Bytes Received() {
    Bytes bytes;
    unsigned char chunk[64];
    pollfd p{peer_, POLLIN, 0};
    while (poll(&p, 1, 200) == 1) {
      ssize_t n = recv(peer_, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
  }
  LoopbackListener listener_;
  SOCKET slot_ = INVALID_SOCKET;
  int peer_ = -1;
};

TEST_F(SendOverNetwork, CutCommandArrivesAsExactlyThreeBytes) {
  EXPECT_EQ(SendInstruction(3, &slot_, 0, 1, 7, 9, 0xDEAD), 1);
  EXPECT_EQ(Received(), (Bytes{0x1D, 0x56, 0x01}));
}

TEST_F(SendOverNetwork, UnknownCommandOrLinkWritesNothing) {
  EXPECT_EQ(SendInstruction(3, &slot_, 6, 1, 2, 3, 0), 0);
  EXPECT_EQ(SendInstruction(4, &slot_, 0, 1, 2, 3, 0), 0);
  EXPECT_EQ(SendInstruction(0xFFFFFFFF, &slot_, 0, 1, 2, 3, 0), 0);
  EXPECT_EQ(Received(), Bytes{});
}

TEST_F(SendOverNetwork, AClosedSocketGivesZero) {
  ASSERT_EQ(CloseNetPor(&slot_), 1);
  EXPECT_EQ(SendInstruction(3, &slot_, 0, 1, 0, 0, 0), 0);
  EXPECT_EQ(SendInstruction(3, nullptr, 0, 1, 0, 0, 0), 0);
}

TEST_F(SendOverNetwork, AConnectionShutForWritingGivesZeroWithoutEndingTheProcess) {
  ASSERT_EQ(shutdown(slot_, SHUT_WR), 0);
  EXPECT_EQ(SendInstruction(3, &slot_, 1, 0, 0, 0, 0), 0);
}

TEST(SendOverPorts, SerialParallelAndUsbLinksWriteTheCommand) {
  PtyPair serial, parallel;
  DeviceMap map("COM9=" + serial.slave_path() + ";LPT1=" + parallel.slave_path());
  HANDLE com = OpenComA("COM9", 19200);
  HANDLE lpt = OpenLptA("LPT1");
  ASSERT_NE(com, INVALID_HANDLE_VALUE);
  ASSERT_NE(lpt, INVALID_HANDLE_VALUE);

  EXPECT_EQ(SendInstruction(0, com, 3, 0, 25, 250, 0), 1);
  EXPECT_EQ(serial.Read(5, std::chrono::seconds(2)), (Bytes{0x1B, 0x70, 0x00, 0x19, 0xFA}));
  EXPECT_EQ(SendInstruction(1, lpt, 4, 1, 2, 3, 0), 1);
  EXPECT_EQ(parallel.Read(4, std::chrono::seconds(2)), (Bytes{0x1B, 0x42, 0x01, 0x02}));
  // The USB link is a plain write on whatever handle it is given.
  EXPECT_EQ(SendInstruction(2, com, 1, 0x08, 0, 0, 0), 1);
  EXPECT_EQ(serial.Read(3, std::chrono::seconds(2)), (Bytes{0x1B, 0x21, 0x08}));

  for (DWORD link : {0u, 1u, 2u}) EXPECT_EQ(SendInstruction(link, INVALID_HANDLE_VALUE, 0, 1, 0, 0, 0), 0);
  CloseCom(com);
  CloseLpt(lpt);
}

TEST(SendOverPorts, ACommandCutShortByATimeOutIsNotReportedAsSent) {
  PtyPair parallel;
  DeviceMap map("LPT1=" + parallel.slave_path());
  HANDLE lpt = OpenLptA("LPT1");
  ASSERT_NE(lpt, INVALID_HANDLE_VALUE);
  // The printer stops taking data: the write ends after its time-out.
  parallel.StopOutput();
  EXPECT_EQ(SendInstruction(1, lpt, 0, 1, 0, 0, 0), 0);
  CloseLpt(lpt);
}

}  // namespace
