#include "frame.h"

#include <cstring>

#include "crc16.h"
#include "exchange.h"
#include "upgrade_texts.h"

namespace velloran {

int ReplyLength(uint8_t command) {
  switch (command) {
    case CMD_PROBE:
    case CMD_ERASE:
    case CMD_DATA:
    case CMD_FINISH:
      return 9;
    case CMD_VERSION:
      return 11;
    case CMD_ENTER_BOOT:
      return 12;
    default:
      return 0;
  }
}

bool BuildControlFrame(uint8_t command, const uint8_t *payload, uint16_t length) {
  if (command == CMD_DATA || ReplyLength(command) == 0 ||
      length > sizeof g_TxFrame - kFrameOverhead || (length > 0 && payload == nullptr)) {
    return false;
  }
  std::memcpy(g_TxFrame, kFrameHead, sizeof kFrameHead);
  g_TxFrame[4] = command;
  g_TxFrame[kFrameLengthOffset] = static_cast<uint8_t>(length >> 8);
  g_TxFrame[kFrameLengthOffset + 1] = static_cast<uint8_t>(length & 0xFF);
  if (length > 0) {
    std::memcpy(g_TxFrame + kFramePayloadOffset, payload, length);
  }
  AppendCrc16(g_TxFrame, static_cast<uint16_t>(kFramePayloadOffset + length));
  g_nTxLen = kFrameOverhead + length;
  g_nRxLen = ReplyLength(command);
  return true;
}

void BuildVersionFrame() { BuildControlFrame(CMD_VERSION, g_VersionBytes, sizeof g_VersionBytes); }

void SetDataFrameHead() {
  std::memcpy(g_TxFrame, kFrameHead, sizeof kFrameHead);
  g_TxFrame[4] = CMD_DATA;
}

std::optional<velloran::StatusId> PacketSizeRefusal(uint32_t packetSize) {
  if (packetSize == 0) return velloran::StatusId::kPacketSizeZero;
  if (packetSize > kMaxPacketSize) return velloran::StatusId::kPacketSizeTooLarge;
  return std::nullopt;
}

DataFrameBuild BuildDataFrame(uint8_t (&frame)[kDataFrameBufferSize]) {
  std::memset(frame, 0, sizeof frame);
  // A negative length would read as a huge unsigned one.
  const uint32_t length = g_nPacketLen < 0 ? kMaxPacketSize + 1 : static_cast<uint32_t>(g_nPacketLen);
  if (const std::optional<velloran::StatusId> refusal = PacketSizeRefusal(length)) return {0, refusal};
  std::memcpy(frame, g_TxFrame, kFrameHeadLength);
  frame[kFrameLengthOffset] = static_cast<uint8_t>(length >> 8);
  frame[kFrameLengthOffset + 1] = static_cast<uint8_t>(length & 0xFF);
  std::memcpy(frame + kFramePayloadOffset, g_PacketData, length);
  AppendCrc16(frame, static_cast<uint16_t>(kFramePayloadOffset + length));
  return {static_cast<int>(length) + kFrameOverhead, std::nullopt};
}

bool ReplyChecksumOk(const uint8_t *reply, int length) {
  // Head, status and checksum at the least.
  if (reply == nullptr || length < kReplyStatusOffset + 3 || length > 0xFFFF) {
    return false;
  }
  const uint16_t crc = Crc16(reply, static_cast<uint16_t>(length - 2));
  return reply[length - 2] == (crc >> 8) && reply[length - 1] == (crc & 0xFF);
}

ReplyOutcome JudgeStatus(uint8_t command, uint8_t status) {
  const uint8_t success = command == CMD_ENTER_BOOT ? ST_BOOT_ENTERED : ST_OK;
  if (status == success) {
    return ReplyOutcome::kSuccess;
  }
  if (command == CMD_PROBE) {
    return ReplyOutcome::kOtherFault;
  }
  switch (status) {
    case ST_CRC_ERROR:
      return ReplyOutcome::kCrcError;
    case ST_FLASH_ERROR:
      return ReplyOutcome::kFlashError;
    case ST_VERSION_MISMATCH:
      return command == CMD_VERSION ? ReplyOutcome::kVersionMismatch : ReplyOutcome::kOtherFault;
    default:
      return ReplyOutcome::kOtherFault;
  }
}

ReplyOutcome JudgeReply(uint8_t command, const uint8_t *reply, int length) {
  if (!ReplyChecksumOk(reply, length)) {
    return ReplyOutcome::kCorrupt;
  }
  return JudgeStatus(command, reply[kReplyStatusOffset]);
}

ReplyOutcome JudgeReceivedReply(uint8_t command) {
  if (g_bRxReady != 1) {
    return ReplyOutcome::kNoReply;
  }
  const int length = ReplyLength(command);
  return length == 0 ? ReplyOutcome::kOtherFault : JudgeReply(command, g_RxFrame, length);
}

uint32_t PacketSizeFromBootReply(const uint8_t *reply) {
  return static_cast<uint32_t>(reply[8]) << ((reply[9] + 8u) % 32u);
}

}  // namespace velloran
