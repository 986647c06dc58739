// Upgrade frames: head 1E 12 55 00, a command code, a 16-bit payload length
// (high byte first), the payload and the Crc16 of everything before it (high
// byte first). Replies have the same layout with the status in byte 4.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "upgrade_texts.h"

inline constexpr uint8_t CMD_PROBE = 0x01;       // answer, so the host finds the baud rate
inline constexpr uint8_t CMD_ERASE = 0x02;       // erase the flash
inline constexpr uint8_t CMD_DATA = 0x03;        // store one packet of image data
inline constexpr uint8_t CMD_ENTER_BOOT = 0x04;  // enter boot mode, report the packet size
inline constexpr uint8_t CMD_FINISH = 0x05;      // conclude after the last packet
inline constexpr uint8_t CMD_VERSION = 0x06;     // check the image's two version bytes

inline constexpr uint8_t ST_OK = 1;
inline constexpr uint8_t ST_CRC_ERROR = 2;         // the printer found a checksum error
inline constexpr uint8_t ST_FLASH_ERROR = 3;       // flash erase error
inline constexpr uint8_t ST_BOOT_ENTERED = 6;      // the printer is in boot mode
inline constexpr uint8_t ST_VERSION_MISMATCH = 7;  // version bytes not accepted

namespace velloran {

inline constexpr uint8_t kFrameHead[4] = {0x1E, 0x12, 0x55, 0x00};
inline constexpr int kFrameHeadLength = 5;      // the four fixed bytes and the command
inline constexpr int kFrameOverhead = 9;        // head, length field and checksum
inline constexpr int kFrameLengthOffset = 5;
inline constexpr int kFramePayloadOffset = 7;
inline constexpr int kReplyStatusOffset = 4;
inline constexpr uint32_t kMaxPacketSize = 512;
// The buffer a data frame is assembled in: the largest packet and the overhead.
inline constexpr int kDataFrameBufferSize = 521;
inline constexpr int kMaxReplyLength = 12;

// Reply length of a command (9, 11 or 12); 0 for an unknown code.
int ReplyLength(uint8_t command);

// Builds a control frame in g_TxFrame: head, command, length field, payload
// and checksum; sets g_nTxLen to the frame length and g_nRxLen to the
// command's reply length. Returns false, leaving everything unchanged, for
// CMD_DATA, an unknown command or a payload that does not fit g_TxFrame.
bool BuildControlFrame(uint8_t command, const uint8_t *payload = nullptr, uint16_t length = 0);

// Builds the CMD_VERSION frame with the two g_VersionBytes.
void BuildVersionFrame();

// Writes the head of a data frame (1E 12 55 00 03) into g_TxFrame[0..4].
void SetDataFrameHead();

// Why a packet size cannot be sent, as the status line that says it, or none
// when it can (1 to 512 bytes).
std::optional<velloran::StatusId> PacketSizeRefusal(uint32_t packetSize);

// Outcome of building a data frame: its length, or the reason none was built.
struct DataFrameBuild {
  int length = 0;                  // g_nPacketLen + 9; 0 when refused
  std::optional<velloran::StatusId> refusal;  // set when refused
  explicit operator bool() const { return !refusal; }
};

// Zeroes frame and assembles the data frame in it from g_TxFrame[0..4],
// g_nPacketLen and g_PacketData. Refuses a packet length of 0 or above 512.
DataFrameBuild BuildDataFrame(uint8_t (&frame)[kDataFrameBufferSize]);

// True when the last two of length reply bytes are the Crc16 of the others.
bool ReplyChecksumOk(const uint8_t *reply, int length);

// What a reply means for the command it answers.
enum class ReplyOutcome {
  kSuccess,          // 1 (6 for CMD_ENTER_BOOT)
  kNoReply,          // no complete reply arrived
  kCorrupt,          // the reply's checksum is wrong; its status means nothing
  kCrcError,         // status 2
  kFlashError,       // status 3
  kVersionMismatch,  // status 7, to CMD_VERSION only
  kOtherFault,       // any other status; for CMD_PROBE every status but 1
};

// Judges a status code as the answer to command.
ReplyOutcome JudgeStatus(uint8_t command, uint8_t status);

// Judges length reply bytes: the checksum first, then the status.
ReplyOutcome JudgeReply(uint8_t command, const uint8_t *reply, int length);

// Judges the exchange state after a command was sent: kNoReply unless
// g_bRxReady is 1, otherwise the command's reply length of g_RxFrame.
ReplyOutcome JudgeReceivedReply(uint8_t command);

// Packet size announced by a boot reply (status 6): byte 8 shifted left by
// ((byte 9 + 8) mod 32) bits, as an unsigned 32-bit value.
uint32_t PacketSizeFromBootReply(const uint8_t *reply);

}  // namespace velloran
