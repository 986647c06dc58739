#include "boot_loader_model.h"

#include <algorithm>

#include "crc16.h"
#include "frame.h"

namespace velloran {

namespace {

constexpr uint8_t kStatusOtherFault = 0;

uint8_t SuccessStatus(uint8_t command) {
  return command == CMD_ENTER_BOOT ? ST_BOOT_ENTERED : ST_OK;
}

uint16_t PayloadLength(const std::vector<uint8_t> &frame) {
  return static_cast<uint16_t>(frame[kFrameLengthOffset] << 8 | frame[kFrameLengthOffset + 1]);
}

// Offset of the first complete frame head, or the offset from which a head
// may still be completed by the next bytes.
size_t FindHead(const std::vector<uint8_t> &bytes, bool &complete) {
  const auto head = std::search(bytes.begin(), bytes.end(), std::begin(kFrameHead), std::end(kFrameHead));
  complete = head != bytes.end();
  if (complete) {
    return static_cast<size_t>(head - bytes.begin());
  }
  // Keep the longest tail that is a beginning of the head.
  for (size_t keep = std::min(bytes.size(), sizeof kFrameHead - 1); keep > 0; --keep) {
    if (std::equal(bytes.end() - static_cast<long>(keep), bytes.end(), std::begin(kFrameHead))) {
      return bytes.size() - keep;
    }
  }
  return bytes.size();
}

}  // namespace

struct BootLoaderModel::Answer {
  uint8_t status = kStatusOtherFault;
  std::vector<uint8_t> payload{};
};

std::vector<std::vector<uint8_t>> ModelReply::Pieces() const {
  std::vector<std::vector<uint8_t>> pieces;
  size_t begin = 0;
  for (size_t point : splitPoints) {
    pieces.emplace_back(bytes.begin() + static_cast<long>(begin), bytes.begin() + static_cast<long>(point));
    begin = point;
  }
  pieces.emplace_back(bytes.begin() + static_cast<long>(begin), bytes.end());
  return pieces;
}

BootLoaderModel::BootLoaderModel(BootLoaderConfig config) : config_(std::move(config)) {}

void BootLoaderModel::SetPacketSize(uint8_t base, uint8_t exponent) {
  config_.packetSizeBase = base;
  config_.packetSizeExponent = exponent;
}

void BootLoaderModel::SetExpectedVersion(std::optional<std::array<uint8_t, 2>> version) {
  config_.expectedVersion = version;
}

uint32_t BootLoaderModel::AnnouncedPacketSize() const {
  return static_cast<uint32_t>(config_.packetSizeBase) << ((config_.packetSizeExponent + 8u) % 32u);
}

void BootLoaderModel::FailCommand(uint8_t command, ReplyFault fault) {
  commandFaults_.emplace_back(command, std::move(fault));
}

void BootLoaderModel::FailStep(uint32_t step, ReplyFault fault) {
  stepFaults_.emplace_back(step, std::move(fault));
}

void BootLoaderModel::FailPacket(uint32_t packet, ReplyFault fault) {
  packetFaults_.emplace_back(packet, std::move(fault));
}

void BootLoaderModel::StallAfterPackets(uint32_t n) { stallAfter_ = n; }

void BootLoaderModel::AnnouncePacketSizeAt(uint32_t bootReply, uint8_t base, uint8_t exponent) {
  bootReplySizes_.push_back({bootReply, {base, exponent}});
}

void BootLoaderModel::ClearFaults() {
  commandFaults_.clear();
  stepFaults_.clear();
  packetFaults_.clear();
  stallAfter_.reset();
  bootReplySizes_.clear();
}

bool BootLoaderModel::Stalled() const {
  return stallAfter_ && counters_.packetsStored >= *stallAfter_;
}

void BootLoaderModel::DropPartialFrame() { pending_.clear(); }

void BootLoaderModel::Reset() {
  pending_.clear();
  bootMode_ = false;
  erased_ = false;
  finished_ = false;
  receivedVersion_.reset();
  flash_.clear();
  frames_.clear();
  counters_ = {};
}

std::vector<ModelReply> BootLoaderModel::Feed(const uint8_t *data, size_t length) {
  std::vector<ModelReply> replies;
  if (length > 0) {
    pending_.insert(pending_.end(), data, data + length);
  }
  for (;;) {
    bool complete = false;
    const size_t head = FindHead(pending_, complete);
    counters_.skippedBytes += static_cast<uint32_t>(head);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(head));
    if (!complete || pending_.size() < static_cast<size_t>(kFramePayloadOffset)) {
      break;
    }
    const uint16_t payload = PayloadLength(pending_);
    if (payload > kMaxPayload) {
      // Not a frame after all: look for the next head behind this one.
      ++counters_.skippedBytes;
      pending_.erase(pending_.begin());
      continue;
    }
    const size_t frameLength = static_cast<size_t>(kFrameOverhead) + payload;
    if (pending_.size() < frameLength) {
      break;
    }
    std::vector<uint8_t> frame(pending_.begin(), pending_.begin() + static_cast<long>(frameLength));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(frameLength));
    if (auto reply = HandleFrame(frame)) {
      replies.push_back(std::move(*reply));
    }
  }
  return replies;
}

std::optional<ModelReply> BootLoaderModel::HandleFrame(const std::vector<uint8_t> &frame) {
  frames_.push_back({.step = ++counters_.frames,
                     .command = frame[4],
                     .bytes = frame,
                     .checksumOk = ReplyChecksumOk(frame.data(), static_cast<int>(frame.size()))});
  ReceivedFrame &record = frames_.back();

  if (Stalled()) {
    return std::nullopt;
  }
  const uint8_t command = record.command;
  std::optional<uint32_t> packet;
  if (record.checksumOk) {
    ++counters_.commandCounts[command];
    if (command == CMD_DATA) {
      packet = ++counters_.packetsReceived;
    }
  } else {
    ++counters_.badChecksumFrames;
  }
  const ReplyFault *fault = FindFault(command, record.step, packet);
  const bool faultSaysFailure = fault && fault->status && *fault->status != SuccessStatus(command);

  const Answer answer = record.checksumOk ? Execute(command, frame, faultSaysFailure) : Answer{.status = ST_CRC_ERROR};
  if (fault && fault->noReply) {
    return std::nullopt;
  }
  const uint8_t status = fault && fault->status ? *fault->status : answer.status;
  ModelReply reply = BuildReply(command, status, answer.payload);
  if (fault) {
    if (fault->corruptChecksum) {
      reply.bytes.back() ^= 0xFF;
    }
    std::ranges::copy_if(fault->splitPoints, std::back_inserter(reply.splitPoints),
                         [&](size_t point) { return point > 0 && point < reply.bytes.size(); });
    std::ranges::sort(reply.splitPoints);
    // std::unique rather than the ranges one, whose subrange clang 14 cannot
    // use with this standard library.
    reply.splitPoints.erase(std::unique(reply.splitPoints.begin(), reply.splitPoints.end()),
                            reply.splitPoints.end());
    reply.pieceGap = fault->pieceGap;
    reply.delay = fault->delay;
  }
  record.answered = true;
  record.replyStatus = status;
  ++counters_.replies;
  return reply;
}

BootLoaderModel::Answer BootLoaderModel::Execute(uint8_t command, const std::vector<uint8_t> &frame,
                                                 bool faultSaysFailure) {
  Answer answer;
  const uint16_t length = PayloadLength(frame);
  const uint8_t *payload = frame.data() + kFramePayloadOffset;
  const bool needsBoot = command != CMD_PROBE && command != CMD_ENTER_BOOT;
  if (command == CMD_VERSION && length == 2) {
    answer.payload.assign(payload, payload + 2);  // mirrored, whatever the outcome
  }
  if (ReplyLength(command) == 0 || (needsBoot && config_.requireBootMode && !bootMode_)) {
    return answer;  // other fault
  }
  // With an injected failure status the command does not take effect.
  const bool act = !faultSaysFailure;
  switch (command) {
    case CMD_PROBE:
      answer.status = ST_OK;
      break;
    case CMD_ENTER_BOOT:
      answer.status = ST_BOOT_ENTERED;
      answer.payload = {0x00, config_.packetSizeBase, config_.packetSizeExponent};
      for (const auto &[number, size] : bootReplySizes_) {
        if (number == counters_.commandCounts[CMD_ENTER_BOOT]) answer.payload = {0x00, size.first, size.second};
      }
      if (act) {
        bootMode_ = true;
        ++counters_.bootEntries;
      }
      break;
    case CMD_VERSION: {
      if (length != 2) {
        return answer;
      }
      const std::array<uint8_t, 2> version = {payload[0], payload[1]};
      receivedVersion_ = version;
      const bool accepted = !config_.expectedVersion || *config_.expectedVersion == version;
      answer.status = accepted ? ST_OK : ST_VERSION_MISMATCH;
      break;
    }
    case CMD_ERASE:
      answer.status = ST_OK;
      if (act) {
        erased_ = true;
        finished_ = false;
        flash_.clear();
        ++counters_.erases;
      }
      break;
    case CMD_DATA:
      if (config_.requireErase && !erased_) {
        answer.status = ST_FLASH_ERROR;
        break;
      }
      answer.status = ST_OK;
      if (act) {
        flash_.insert(flash_.end(), payload, payload + length);
        ++counters_.packetsStored;
      }
      break;
    case CMD_FINISH:
      answer.status = ST_OK;
      if (act) {
        // The printer restarts with its new firmware.
        finished_ = true;
        bootMode_ = false;
        erased_ = false;
        ++counters_.finishes;
      }
      break;
  }
  return answer;
}

const ReplyFault *BootLoaderModel::FindFault(uint8_t command, uint32_t step,
                                             std::optional<uint32_t> packet) const {
  const auto find = [](const auto &faults, uint32_t key) -> const ReplyFault * {
    for (const auto &[number, fault] : faults)
      if (number == key) return &fault;
    return nullptr;
  };
  if (const ReplyFault *fault = packet ? find(packetFaults_, *packet) : nullptr) return fault;
  if (const ReplyFault *fault = find(stepFaults_, step)) return fault;
  return find(commandFaults_, command);
}

ModelReply BootLoaderModel::BuildReply(uint8_t command, uint8_t status,
                                       const std::vector<uint8_t> &payload) const {
  const int known = ReplyLength(command);
  const size_t length = static_cast<size_t>(known == 0 ? kFrameOverhead : known);
  const size_t payloadLength = length - kFrameOverhead;
  ModelReply reply{.command = command, .bytes = std::vector<uint8_t>(length, 0)};
  std::copy(std::begin(kFrameHead), std::end(kFrameHead), reply.bytes.begin());
  reply.bytes[kReplyStatusOffset] = status;
  reply.bytes[kFrameLengthOffset] = static_cast<uint8_t>(payloadLength >> 8);
  reply.bytes[kFrameLengthOffset + 1] = static_cast<uint8_t>(payloadLength & 0xFF);
  std::copy_n(payload.begin(), std::min(payload.size(), payloadLength),
              reply.bytes.begin() + kFramePayloadOffset);
  AppendCrc16(reply.bytes.data(), static_cast<uint16_t>(length - 2));
  return reply;
}

}  // namespace velloran
