// A printer boot loader as a state machine without a transport: bytes from
// the host go in, the replies it would send come out. It finds frames in the
// byte stream (skipping garbage such as a preamble of zero bytes), checks
// their checksum, answers each command with the reply length of the command
// table, and records every frame and the flashed image. Faults can be
// injected per command, per step (frame) number or per data packet number.
//
// Replies mirror the request layout: head 1E 12 55 00, the status where the
// command stood, a length field, a payload (the version bytes for
// CMD_VERSION; 00, packet-size base and exponent for CMD_ENTER_BOOT), and the
// checksum. A frame whose checksum is wrong is answered with status 2.
//
// Not thread-safe: a transport that feeds it from several threads locks.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace velloran {

// How one reply is spoiled. Members combine; the default spoils nothing.
// Built with designated initializers: ReplyFault{.status = ST_CRC_ERROR}.
struct ReplyFault {
  std::optional<uint8_t> status{};     // answer this status instead
  bool corruptChecksum = false;        // send a reply whose checksum is wrong
  bool noReply = false;                // send nothing
  std::vector<size_t> splitPoints{};   // cut the reply before these offsets
  std::chrono::milliseconds pieceGap{0};  // pause between the pieces
  std::chrono::milliseconds delay{0};  // pause before the reply
};

// One reply as a transport should deliver it: wait delay, then send bytes,
// pausing pieceGap before each split point.
struct ModelReply {
  uint8_t command = 0;  // the command it answers
  std::vector<uint8_t> bytes;
  std::vector<size_t> splitPoints{};  // ascending offsets inside bytes
  std::chrono::milliseconds pieceGap{0};
  std::chrono::milliseconds delay{0};
  // The bytes cut at the split points.
  std::vector<std::vector<uint8_t>> Pieces() const;
};

// A frame as the model received it.
struct ReceivedFrame {
  uint32_t step = 0;  // counted from 1 over all frames
  uint8_t command = 0;
  std::vector<uint8_t> bytes;  // the whole frame
  bool checksumOk = false;
  bool answered = false;       // a reply went out (possibly spoiled)
  uint8_t replyStatus = 0;     // the status the reply carried
};

struct BootLoaderConfig {
  // Packet size announced in the boot reply: base << ((exponent + 8) mod 32).
  uint8_t packetSizeBase = 2;
  uint8_t packetSizeExponent = 0;  // 2, 0: 512 bytes
  // The version bytes accepted; nullopt accepts every version.
  std::optional<std::array<uint8_t, 2>> expectedVersion;
  // Commands other than CMD_PROBE and CMD_ENTER_BOOT need boot mode; outside
  // it they are answered with status 0 (other fault).
  bool requireBootMode = true;
  // CMD_DATA before CMD_ERASE is answered with ST_FLASH_ERROR.
  bool requireErase = true;
};

struct BootLoaderCounters {
  uint32_t frames = 0;            // complete frames found, good or bad
  uint32_t badChecksumFrames = 0;
  uint32_t skippedBytes = 0;      // garbage between frames
  uint32_t replies = 0;           // replies produced (spoiled ones included)
  uint32_t packetsReceived = 0;   // CMD_DATA frames with a good checksum
  uint32_t packetsStored = 0;
  uint32_t bootEntries = 0;
  uint32_t erases = 0;
  uint32_t finishes = 0;          // CMD_FINISH answered with ST_OK
  uint32_t commandCounts[256] = {};  // good frames per command code
};

class BootLoaderModel {
 public:
  // The longest payload a frame may announce; a longer length field marks
  // the supposed head as garbage.
  static constexpr uint16_t kMaxPayload = 1024;

  explicit BootLoaderModel(BootLoaderConfig config = {});

  void SetPacketSize(uint8_t base, uint8_t exponent);
  void SetExpectedVersion(std::optional<std::array<uint8_t, 2>> version);

  // Faults. A fault set for a step or a packet wins over one set for the
  // command. Step numbers count every frame from 1; packet numbers count
  // CMD_DATA frames with a good checksum from 1.
  void FailCommand(uint8_t command, ReplyFault fault);
  void FailStep(uint32_t step, ReplyFault fault);
  void FailPacket(uint32_t packet, ReplyFault fault);
  // After n stored packets the model answers nothing at all.
  void StallAfterPackets(uint32_t n);
  // The nth boot reply (good CMD_ENTER_BOOT frames counted from 1 since the
  // last Reset) announces this packet size instead of the configured one.
  void AnnouncePacketSizeAt(uint32_t bootReply, uint8_t base, uint8_t exponent);
  void ClearFaults();

  // Feeds bytes from the host; returns the replies due, in order.
  std::vector<ModelReply> Feed(const uint8_t *data, size_t length);
  std::vector<ModelReply> Feed(const std::vector<uint8_t> &bytes) {
    return Feed(bytes.data(), bytes.size());
  }
  // Forgets an incomplete frame (a transport calls it after a long silence).
  void DropPartialFrame();

  // Back to power-on: out of boot mode, nothing erased or stored, records
  // and counters cleared. Configuration and faults stay.
  void Reset();

  bool InBootMode() const { return bootMode_; }
  bool Erased() const { return erased_; }
  bool Finished() const { return finished_; }
  bool Stalled() const;
  const BootLoaderCounters &Counters() const { return counters_; }
  const std::vector<ReceivedFrame> &Frames() const { return frames_; }
  // The payloads of the stored packets since the last erase, in order.
  const std::vector<uint8_t> &FlashedImage() const { return flash_; }
  // The version bytes of the last CMD_VERSION frame.
  std::optional<std::array<uint8_t, 2>> ReceivedVersion() const { return receivedVersion_; }
  // Packet size the boot reply announces.
  uint32_t AnnouncedPacketSize() const;

 private:
  struct Answer;
  std::optional<ModelReply> HandleFrame(const std::vector<uint8_t> &frame);
  Answer Execute(uint8_t command, const std::vector<uint8_t> &frame, bool faultSaysFailure);
  const ReplyFault *FindFault(uint8_t command, uint32_t step, std::optional<uint32_t> packet) const;
  ModelReply BuildReply(uint8_t command, uint8_t status, const std::vector<uint8_t> &payload) const;

  BootLoaderConfig config_;
  std::vector<std::pair<uint8_t, ReplyFault>> commandFaults_;
  std::vector<std::pair<uint32_t, ReplyFault>> stepFaults_;
  std::vector<std::pair<uint32_t, ReplyFault>> packetFaults_;
  std::optional<uint32_t> stallAfter_;
  std::vector<std::pair<uint32_t, std::pair<uint8_t, uint8_t>>> bootReplySizes_;

  std::vector<uint8_t> pending_;
  bool bootMode_ = false;
  bool erased_ = false;
  bool finished_ = false;
  std::optional<std::array<uint8_t, 2>> receivedVersion_;
  std::vector<uint8_t> flash_;
  std::vector<ReceivedFrame> frames_;
  BootLoaderCounters counters_;
};

}  // namespace velloran
