// Frames, the exchange state, the reply test, the judgement of statuses and
// the packet size of the boot reply.
#include "frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "crc16.h"
#include "exchange.h"

using namespace velloran;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes TxFrame() { return Bytes(g_TxFrame, g_TxFrame + g_nTxLen); }

class ProtocolFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    g_nPacketSize = 0;
    ResetExchange();
  }
};

TEST_F(ProtocolFrame, ConstantControlFramesByteForByte) {
  struct Case {
    uint8_t command;
    Bytes bytes;
    int replyLength;
  };
  const Case cases[] = {
      {CMD_PROBE, {0x1E, 0x12, 0x55, 0x00, 0x01, 0x00, 0x00, 0x77, 0xFE}, 9},
      {CMD_ERASE, {0x1E, 0x12, 0x55, 0x00, 0x02, 0x00, 0x00, 0x77, 0xC2}, 9},
      {CMD_ENTER_BOOT, {0x1E, 0x12, 0x55, 0x00, 0x04, 0x00, 0x00, 0x77, 0xBA}, 12},
      {CMD_FINISH, {0x1E, 0x12, 0x55, 0x00, 0x05, 0x00, 0x00, 0xF7, 0xAD}, 9},
  };
  for (const Case &c : cases) {
    ResetExchange();
    ASSERT_TRUE(BuildControlFrame(c.command));
    EXPECT_EQ(TxFrame(), c.bytes) << "command " << int(c.command);
    EXPECT_EQ(g_nTxLen, 9);
    EXPECT_EQ(g_nRxLen, c.replyLength);
  }
}

TEST_F(ProtocolFrame, VersionFrameCarriesTheVersionBytes) {
  g_VersionBytes[0] = 0x01;
  g_VersionBytes[1] = 0x02;
  BuildVersionFrame();
  EXPECT_EQ(TxFrame(), (Bytes{0x1E, 0x12, 0x55, 0x00, 0x06, 0x00, 0x02, 0x01, 0x02, 0x37, 0x4E}));
  EXPECT_EQ(g_nTxLen, 11);
  EXPECT_EQ(g_nRxLen, 11);
  EXPECT_EQ(g_VersionBytes[0], 0x01) << "building must not clear the version bytes";
}

TEST_F(ProtocolFrame, ControlFrameBuilderRefusesWhatDoesNotFit) {
  const uint8_t payload[4] = {1, 2, 3, 4};
  EXPECT_FALSE(BuildControlFrame(CMD_DATA, payload, 4)) << "data frames have their own buffer";
  EXPECT_FALSE(BuildControlFrame(CMD_VERSION, payload, 4)) << "12-byte buffer holds 3 payload bytes";
  EXPECT_FALSE(BuildControlFrame(0x09));
  EXPECT_FALSE(BuildControlFrame(CMD_VERSION, nullptr, 2));
  EXPECT_EQ(g_nTxLen, 0);
  EXPECT_EQ(TxFrame(), Bytes{});
  EXPECT_TRUE(BuildControlFrame(CMD_VERSION, payload, 3));
  EXPECT_EQ(g_nTxLen, 12);
  EXPECT_TRUE(ReplyChecksumOk(g_TxFrame, 12));
}

TEST_F(ProtocolFrame, DataFrameWithFourPayloadBytes) {
  SetDataFrameHead();
  const uint8_t payload[4] = {1, 2, 3, 4};
  std::memcpy(g_PacketData, payload, 4);
  g_nPacketLen = 4;
  uint8_t frame[kDataFrameBufferSize];
  std::memset(frame, 0xAA, sizeof frame);
  const DataFrameBuild built = BuildDataFrame(frame);
  ASSERT_TRUE(built);
  ASSERT_EQ(built.length, 13);
  EXPECT_EQ(Bytes(frame, frame + 13),
            (Bytes{0x1E, 0x12, 0x55, 0x00, 0x03, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04, 0xBD, 0xFC}));
  EXPECT_EQ(Bytes(frame + 13, frame + sizeof frame), Bytes(sizeof frame - 13, 0)) << "rest zeroed";
}

TEST_F(ProtocolFrame, FullDataFrameOf512Bytes) {
  SetDataFrameHead();
  for (int i = 0; i < 512; ++i) g_PacketData[i] = static_cast<uint8_t>(i * 7);
  g_PacketData[512] = 0xEE;  // beyond the packet: must not be sent
  g_nPacketLen = 512;
  uint8_t frame[kDataFrameBufferSize];
  const DataFrameBuild built = BuildDataFrame(frame);
  ASSERT_TRUE(built);
  EXPECT_EQ(built.length, 521);
  EXPECT_EQ(frame[5], 0x02);
  EXPECT_EQ(frame[6], 0x00);
  EXPECT_EQ(std::memcmp(frame + 7, g_PacketData, 512), 0);
  EXPECT_TRUE(ReplyChecksumOk(frame, 521));
}

TEST_F(ProtocolFrame, DataFrameRefusesPacketLengthsThatCannotBeCarried) {
  SetDataFrameHead();
  uint8_t frame[kDataFrameBufferSize];
  for (int length : {0, 513, 1024, 65536 + 4, -1}) {
    g_nPacketLen = length;
    const DataFrameBuild built = BuildDataFrame(frame);
    EXPECT_FALSE(built) << length;
    EXPECT_EQ(built.length, 0);
    EXPECT_TRUE(built.refusal);
  }
  g_nPacketLen = 1;
  EXPECT_TRUE(BuildDataFrame(frame));
}

TEST_F(ProtocolFrame, PacketSizeRefusalNamesZeroAndOversizedSizes) {
  EXPECT_TRUE(PacketSizeRefusal(0));
  EXPECT_TRUE(PacketSizeRefusal(513));
  EXPECT_TRUE(PacketSizeRefusal(0x80000000u));
  EXPECT_NE(PacketSizeRefusal(0), PacketSizeRefusal(513)) << "the reason says which";
  EXPECT_FALSE(PacketSizeRefusal(1));
  EXPECT_FALSE(PacketSizeRefusal(256));
  EXPECT_FALSE(PacketSizeRefusal(512));
}

TEST_F(ProtocolFrame, ResetExchangeKeepsPacketSizeAndBusyFlag) {
  std::memset(g_TxFrame, 1, sizeof g_TxFrame);
  std::memset(g_RxFrame, 2, sizeof g_RxFrame);
  std::memset(g_PacketData, 3, sizeof g_PacketData);
  g_nTxLen = 9;
  g_nRxLen = 12;
  g_bRxReady = 1;
  g_nPacketLen = 512;
  g_nPacketSize = 256;
  g_VersionBytes[0] = 4;
  g_VersionBytes[1] = 5;
  g_bUpgrading = 1;
  ResetExchange();
  EXPECT_EQ(Bytes(g_TxFrame, g_TxFrame + 12), Bytes(12, 0));
  EXPECT_EQ(Bytes(g_RxFrame, g_RxFrame + 12), Bytes(12, 0));
  EXPECT_EQ(Bytes(g_PacketData, g_PacketData + 1024), Bytes(1024, 0));
  EXPECT_EQ(g_nTxLen + g_nRxLen + g_bRxReady + g_nPacketLen, 0);
  EXPECT_EQ(g_VersionBytes[0] | g_VersionBytes[1], 0);
  EXPECT_EQ(g_nPacketSize, 256u);
  EXPECT_EQ(g_bUpgrading.load(), 1);
  g_bUpgrading = 0;
}

TEST_F(ProtocolFrame, ReplyTestChecksTheChecksumBeforeTheStatus) {
  Bytes reply = {0x1E, 0x12, 0x55, 0x00, 0x01, 0x00, 0x00, 0x77, 0xFE};
  EXPECT_TRUE(ReplyChecksumOk(reply.data(), 9));
  EXPECT_EQ(JudgeReply(CMD_ERASE, reply.data(), 9), ReplyOutcome::kSuccess);
  reply[8] ^= 0x01;
  EXPECT_FALSE(ReplyChecksumOk(reply.data(), 9));
  EXPECT_EQ(JudgeReply(CMD_ERASE, reply.data(), 9), ReplyOutcome::kCorrupt);
  reply[7] ^= 0x80;
  EXPECT_EQ(JudgeReply(CMD_ERASE, reply.data(), 9), ReplyOutcome::kCorrupt);
  // Too short to hold a status and a checksum: never judged by its bytes.
  const Bytes zeros(9, 0);
  EXPECT_FALSE(ReplyChecksumOk(zeros.data(), 2));
  EXPECT_FALSE(ReplyChecksumOk(nullptr, 9));
}

TEST_F(ProtocolFrame, JudgementTableForEveryCommandAndStatus) {
  struct Row {
    uint8_t command;
    uint8_t success;
    std::set<int> crc, flash, mismatch;
  };
  const Row rows[] = {
      {CMD_VERSION, 1, {2}, {3}, {7}},
      {CMD_ENTER_BOOT, 6, {2}, {3}, {}},
      {CMD_ERASE, 1, {2}, {3}, {}},
      {CMD_DATA, 1, {2}, {3}, {}},
      {CMD_FINISH, 1, {2}, {3}, {}},
      {CMD_PROBE, 1, {}, {}, {}},
  };
  for (const Row &row : rows) {
    for (int status = 0; status < 256; ++status) {
      ReplyOutcome expected = ReplyOutcome::kOtherFault;
      if (status == row.success) expected = ReplyOutcome::kSuccess;
      else if (row.crc.count(status)) expected = ReplyOutcome::kCrcError;
      else if (row.flash.count(status)) expected = ReplyOutcome::kFlashError;
      else if (row.mismatch.count(status)) expected = ReplyOutcome::kVersionMismatch;
      ASSERT_EQ(JudgeStatus(row.command, static_cast<uint8_t>(status)), expected)
          << "command " << int(row.command) << " status " << status;
    }
  }
}

TEST_F(ProtocolFrame, StatusThatSucceedsElsewhereIsOtherFault) {
  EXPECT_EQ(JudgeStatus(CMD_VERSION, ST_BOOT_ENTERED), ReplyOutcome::kOtherFault);
  EXPECT_EQ(JudgeStatus(CMD_ENTER_BOOT, ST_OK), ReplyOutcome::kOtherFault);
  EXPECT_EQ(JudgeStatus(CMD_ERASE, ST_VERSION_MISMATCH), ReplyOutcome::kOtherFault);
  EXPECT_EQ(JudgeStatus(CMD_PROBE, ST_CRC_ERROR), ReplyOutcome::kOtherFault);
}

TEST_F(ProtocolFrame, ReceivedReplyIsJudgedWithTheCommandsReplyLength) {
  EXPECT_EQ(JudgeReceivedReply(CMD_ENTER_BOOT), ReplyOutcome::kNoReply);
  const Bytes boot = {0x1E, 0x12, 0x55, 0x00, 0x06, 0x00, 0x03, 0x00, 0x02, 0x00};
  std::memcpy(g_RxFrame, boot.data(), boot.size());
  AppendCrc16(g_RxFrame, 10);
  g_bRxReady = 1;
  g_nRxLen = 0;  // cleared by a procedure after the read: does not matter
  EXPECT_EQ(JudgeReceivedReply(CMD_ENTER_BOOT), ReplyOutcome::kSuccess);
  EXPECT_EQ(JudgeReceivedReply(CMD_ERASE), ReplyOutcome::kCorrupt) << "9 bytes of it do not check";
  g_bRxReady = 0;
  EXPECT_EQ(JudgeReceivedReply(CMD_ENTER_BOOT), ReplyOutcome::kNoReply);
}

TEST_F(ProtocolFrame, PacketSizeFromBootReply) {
  auto size = [](uint8_t base, uint8_t exponent) {
    uint8_t reply[12] = {};
    reply[8] = base;
    reply[9] = exponent;
    return PacketSizeFromBootReply(reply);
  };
  EXPECT_EQ(size(0x02, 0x00), 512u);
  EXPECT_EQ(size(0x01, 0x01), 512u);
  EXPECT_EQ(size(0x01, 0x00), 256u);
  EXPECT_EQ(size(0x01, 0xFF), 128u) << "(255 + 8) mod 32 = 7";
  EXPECT_EQ(size(0x00, 0x00), 0u);
  // Every pair, against a 64-bit computation cut to 32 bits (and free of
  // undefined shifts under the sanitizer build).
  for (int base = 0; base < 256; ++base) {
    for (int exponent = 0; exponent < 256; ++exponent) {
      const uint64_t wide = uint64_t(base) << ((exponent + 8) % 32);
      ASSERT_EQ(size(uint8_t(base), uint8_t(exponent)), uint32_t(wide & 0xFFFFFFFFu));
    }
  }
}

}  // namespace
