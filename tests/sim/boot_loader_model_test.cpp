// The boot-loader model driven in memory: whole upgrades, framing of a
// noisy byte stream, and every kind of injected fault.
#include "boot_loader_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "crc16.h"
#include "exchange.h"
#include "frame.h"
#include "image.h"

using namespace velloran;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Control(uint8_t command, const Bytes &payload = {}) {
  Bytes frame(9 + payload.size(), 0);
  const uint8_t head[7] = {0x1E, 0x12, 0x55, 0x00, command, 0, static_cast<uint8_t>(payload.size())};
  std::copy(std::begin(head), std::end(head), frame.begin());
  std::copy(payload.begin(), payload.end(), frame.begin() + 7);
  AppendCrc16(frame.data(), static_cast<uint16_t>(frame.size() - 2));
  return frame;
}

Bytes Data(const Bytes &payload) {
  ResetExchange();
  SetDataFrameHead();
  std::memcpy(g_PacketData, payload.data(), payload.size());
  g_nPacketLen = static_cast<int>(payload.size());
  uint8_t frame[kDataFrameBufferSize];
  const DataFrameBuild built = BuildDataFrame(frame);
  EXPECT_TRUE(built);
  return Bytes(frame, frame + built.length);
}

// Sends one frame and expects exactly one reply with a good checksum.
ModelReply Exchange(BootLoaderModel &model, const Bytes &frame) {
  std::vector<ModelReply> replies = model.Feed(frame);
  EXPECT_EQ(replies.size(), 1u);
  if (replies.empty()) return {};
  EXPECT_TRUE(ReplyChecksumOk(replies[0].bytes.data(), static_cast<int>(replies[0].bytes.size())));
  return replies[0];
}

uint8_t StatusOf(BootLoaderModel &model, const Bytes &frame) {
  const ModelReply reply = Exchange(model, frame);
  return reply.bytes.size() > 4 ? reply.bytes[4] : 0xFF;
}

Bytes PacketOf(uint8_t seed, size_t size) {
  Bytes packet(size);
  for (size_t i = 0; i < size; ++i) packet[i] = static_cast<uint8_t>(seed + i * 3);
  return packet;
}

TEST(BootLoaderModel, WholeUpgradeInMemory) {
  BootLoaderConfig config;
  config.packetSizeBase = 1;
  config.packetSizeExponent = 0;  // 256 bytes
  config.expectedVersion = std::array<uint8_t, 2>{0x04, 0x00};
  BootLoaderModel model(config);
  EXPECT_FALSE(model.InBootMode());

  const ModelReply boot = Exchange(model, Control(CMD_ENTER_BOOT));
  ASSERT_EQ(boot.bytes.size(), 12u);
  EXPECT_EQ(Bytes(boot.bytes.begin(), boot.bytes.begin() + 10),
            (Bytes{0x1E, 0x12, 0x55, 0x00, ST_BOOT_ENTERED, 0x00, 0x03, 0x00, 0x01, 0x00}));
  EXPECT_EQ(PacketSizeFromBootReply(boot.bytes.data()), 256u);
  EXPECT_TRUE(model.InBootMode());

  const ModelReply version = Exchange(model, Control(CMD_VERSION, {0x04, 0x00}));
  ASSERT_EQ(version.bytes.size(), 11u);
  EXPECT_EQ(version.bytes[4], ST_OK);
  EXPECT_EQ(version.bytes[7], 0x04) << "the version bytes are mirrored";
  EXPECT_EQ(StatusOf(model, Control(CMD_ERASE)), ST_OK);

  Bytes expected;
  for (uint8_t i = 0; i < 3; ++i) {
    const Bytes packet = PacketOf(i, 256);
    const ModelReply reply = Exchange(model, Data(packet));
    EXPECT_EQ(reply.bytes.size(), 9u);
    EXPECT_EQ(JudgeReply(CMD_DATA, reply.bytes.data(), 9), ReplyOutcome::kSuccess);
    expected.insert(expected.end(), packet.begin(), packet.end());
  }
  EXPECT_EQ(StatusOf(model, Control(CMD_FINISH)), ST_OK);

  EXPECT_EQ(model.FlashedImage(), expected);
  EXPECT_TRUE(model.Finished());
  EXPECT_FALSE(model.InBootMode()) << "the printer restarts after finishing";
  const BootLoaderCounters &counters = model.Counters();
  EXPECT_EQ(counters.frames, 7u);
  EXPECT_EQ(counters.replies, 7u);
  EXPECT_EQ(counters.packetsStored, 3u);
  EXPECT_EQ(counters.commandCounts[CMD_DATA], 3u);
  EXPECT_EQ(counters.finishes, 1u);
  ASSERT_EQ(model.Frames().size(), 7u);
  EXPECT_EQ(model.Frames()[1].bytes, Control(CMD_VERSION, {0x04, 0x00}));
  EXPECT_EQ(model.Frames()[3].step, 4u);
  EXPECT_EQ(model.Frames()[3].command, CMD_DATA);
  EXPECT_TRUE(model.Frames()[3].answered);

  model.Reset();
  EXPECT_TRUE(model.FlashedImage().empty());
  EXPECT_TRUE(model.Frames().empty());
  EXPECT_EQ(model.Counters().frames, 0u);
  EXPECT_FALSE(model.Finished());
}

TEST(BootLoaderModel, VersionIsCheckedOrAcceptedAsConfigured) {
  BootLoaderModel model;
  Exchange(model, Control(CMD_ENTER_BOOT));
  EXPECT_EQ(StatusOf(model, Control(CMD_VERSION, {0x12, 0x34})), ST_OK) << "accepts all by default";
  model.SetExpectedVersion(std::array<uint8_t, 2>{0x12, 0x35});
  EXPECT_EQ(StatusOf(model, Control(CMD_VERSION, {0x12, 0x34})), ST_VERSION_MISMATCH);
  EXPECT_EQ(StatusOf(model, Control(CMD_VERSION, {0x12, 0x35})), ST_OK);
  EXPECT_EQ(model.ReceivedVersion(), (std::array<uint8_t, 2>{0x12, 0x35}));
}

TEST(BootLoaderModel, AnnouncesTheConfiguredPacketSize) {
  BootLoaderModel model;
  for (auto [base, exponent, size] : {std::tuple{2, 0, 512u}, {1, 1, 512u}, {1, 0, 256u}, {1, 0xFF, 128u}}) {
    model.SetPacketSize(uint8_t(base), uint8_t(exponent));
    const ModelReply reply = Exchange(model, Control(CMD_ENTER_BOOT));
    EXPECT_EQ(PacketSizeFromBootReply(reply.bytes.data()), size);
    EXPECT_EQ(model.AnnouncedPacketSize(), size);
  }
}

TEST(BootLoaderModel, ABootReplyCanAnnounceItsOwnPacketSize) {
  BootLoaderModel model;
  model.AnnouncePacketSizeAt(1, 0, 0);
  model.AnnouncePacketSizeAt(3, 4, 0);
  std::vector<uint32_t> sizes;
  for (int i = 0; i < 4; ++i) sizes.push_back(PacketSizeFromBootReply(Exchange(model, Control(CMD_ENTER_BOOT)).bytes.data()));
  EXPECT_EQ(sizes, (std::vector<uint32_t>{0, 512, 1024, 512}));
  model.Reset();  // counts from 1 again
  EXPECT_EQ(PacketSizeFromBootReply(Exchange(model, Control(CMD_ENTER_BOOT)).bytes.data()), 0u);
  model.ClearFaults();
  model.Reset();
  EXPECT_EQ(PacketSizeFromBootReply(Exchange(model, Control(CMD_ENTER_BOOT)).bytes.data()), 512u);
}

TEST(BootLoaderModel, CommandsOutOfOrderAreRefused) {
  BootLoaderModel model;
  EXPECT_EQ(StatusOf(model, Control(CMD_PROBE)), ST_OK) << "probe works in any mode";
  EXPECT_EQ(JudgeStatus(CMD_ERASE, StatusOf(model, Control(CMD_ERASE))), ReplyOutcome::kOtherFault)
      << "not in boot mode";
  EXPECT_FALSE(model.Erased());
  Exchange(model, Control(CMD_ENTER_BOOT));
  EXPECT_EQ(StatusOf(model, Data(PacketOf(1, 16))), ST_FLASH_ERROR) << "not erased";
  EXPECT_EQ(model.Counters().packetsStored, 0u);
  const ModelReply unknown = Exchange(model, Control(0x09));
  EXPECT_EQ(unknown.bytes.size(), 9u);
  EXPECT_EQ(JudgeStatus(CMD_ERASE, unknown.bytes[4]), ReplyOutcome::kOtherFault);
}

TEST(BootLoaderModel, FindsFramesInNoise) {
  BootLoaderModel model;
  Bytes stream(16, 0x00);  // the preamble of the baud-rate detection
  const Bytes probe = Control(CMD_PROBE);
  stream.insert(stream.end(), probe.begin(), probe.end());
  // Junk with a false head whose length field is impossible, then a head cut
  // short, then a real frame.
  const Bytes junk = {0x1E, 0x12, 0x55, 0x00, 0x04, 0xFF, 0xFF, 0x42, 0x1E, 0x12, 0x1E};
  stream.insert(stream.end(), junk.begin(), junk.end());
  const Bytes boot = Control(CMD_ENTER_BOOT);
  stream.insert(stream.end(), boot.begin(), boot.end());

  // Delivered one byte at a time, as a slow line does.
  std::vector<ModelReply> replies;
  for (uint8_t byte : stream) {
    for (auto &reply : model.Feed(&byte, 1)) replies.push_back(std::move(reply));
  }
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].command, CMD_PROBE);
  EXPECT_EQ(replies[1].command, CMD_ENTER_BOOT);
  EXPECT_EQ(model.Counters().skippedBytes, 16u + junk.size());
  EXPECT_EQ(model.Counters().frames, 2u);
}

TEST(BootLoaderModel, PartialFrameWaitsOrIsDropped) {
  BootLoaderModel model;
  const Bytes probe = Control(CMD_PROBE);
  EXPECT_TRUE(model.Feed(probe.data(), 5).empty());
  model.DropPartialFrame();
  EXPECT_TRUE(model.Feed(probe.data() + 5, 4).empty()) << "the rest alone is no frame";
  EXPECT_EQ(model.Feed(probe).size(), 1u);
}

TEST(BootLoaderModel, BadChecksumIsAnsweredWithStatus2AndChangesNothing) {
  BootLoaderModel model;
  Exchange(model, Control(CMD_ENTER_BOOT));
  Exchange(model, Control(CMD_ERASE));
  Bytes data = Data(PacketOf(7, 64));
  data[20] ^= 0x01;
  const ModelReply reply = Exchange(model, data);
  EXPECT_EQ(JudgeReply(CMD_DATA, reply.bytes.data(), 9), ReplyOutcome::kCrcError);
  EXPECT_TRUE(model.FlashedImage().empty());
  EXPECT_EQ(model.Counters().badChecksumFrames, 1u);
  EXPECT_FALSE(model.Frames().back().checksumOk);

  Bytes version = Control(CMD_VERSION, {1, 2});
  version.back() ^= 0xFF;
  const ModelReply versionReply = Exchange(model, version);
  EXPECT_EQ(versionReply.bytes.size(), 11u) << "the reply length of the command";
  EXPECT_EQ(versionReply.bytes[4], ST_CRC_ERROR);
}

// A model in boot mode with an erased flash.
BootLoaderModel ReadyModel() {
  BootLoaderModel model;
  model.Feed(Control(CMD_ENTER_BOOT));
  model.Feed(Control(CMD_ERASE));
  return model;
}

TEST(BootLoaderModelFaults, AnotherStatusForACommandEveryTime) {
  BootLoaderModel model;
  model.FailCommand(CMD_ENTER_BOOT, ReplyFault{.status = ST_FLASH_ERROR});
  EXPECT_EQ(StatusOf(model, Control(CMD_ENTER_BOOT)), ST_FLASH_ERROR);
  EXPECT_EQ(StatusOf(model, Control(CMD_ENTER_BOOT)), ST_FLASH_ERROR);
  EXPECT_FALSE(model.InBootMode()) << "a failure status means it did not happen";
  model.ClearFaults();
  EXPECT_EQ(StatusOf(model, Control(CMD_ENTER_BOOT)), ST_BOOT_ENTERED);
}

TEST(BootLoaderModelFaults, WrongReplyChecksum) {
  BootLoaderModel model;
  model.FailCommand(CMD_ENTER_BOOT, ReplyFault{.corruptChecksum = true});
  const std::vector<ModelReply> replies = model.Feed(Control(CMD_ENTER_BOOT));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(JudgeReply(CMD_ENTER_BOOT, replies[0].bytes.data(), 12), ReplyOutcome::kCorrupt);
  EXPECT_TRUE(model.InBootMode()) << "only the reply was spoiled";
}

TEST(BootLoaderModelFaults, NoReplyAtAStep) {
  BootLoaderModel model;
  model.FailStep(2, ReplyFault{.noReply = true});
  EXPECT_EQ(model.Feed(Control(CMD_PROBE)).size(), 1u);
  EXPECT_TRUE(model.Feed(Control(CMD_PROBE)).empty());
  EXPECT_EQ(model.Feed(Control(CMD_PROBE)).size(), 1u);
  EXPECT_FALSE(model.Frames()[1].answered);
  EXPECT_EQ(model.Counters().replies, 2u);
}

TEST(BootLoaderModelFaults, PacketFaultWinsOverCommandFault) {
  BootLoaderModel model = ReadyModel();
  model.FailCommand(CMD_DATA, ReplyFault{.status = 0x44});
  model.FailPacket(2, ReplyFault{.status = ST_CRC_ERROR});
  model.FailPacket(1, ReplyFault{.status = ST_OK});
  EXPECT_EQ(StatusOf(model, Data(PacketOf(1, 32))), ST_OK);
  EXPECT_EQ(StatusOf(model, Data(PacketOf(2, 32))), ST_CRC_ERROR);
  EXPECT_EQ(StatusOf(model, Data(PacketOf(3, 32))), 0x44);
  EXPECT_EQ(model.FlashedImage(), PacketOf(1, 32)) << "refused packets are not stored";
}

TEST(BootLoaderModelFaults, ReplyInPiecesAfterADelay) {
  BootLoaderModel model = ReadyModel();
  using std::chrono::milliseconds;
  ReplyFault fault = {.splitPoints = {5, 4, 0, 4, 99}, .pieceGap = milliseconds(150)};
  fault.delay = milliseconds(20);
  model.FailPacket(1, fault);
  const ModelReply reply = Exchange(model, Data(PacketOf(0, 16)));
  EXPECT_EQ(reply.splitPoints, (std::vector<size_t>{4, 5})) << "sorted, unique, inside the reply";
  EXPECT_EQ(reply.pieceGap, milliseconds(150));
  EXPECT_EQ(reply.delay, milliseconds(20));
  const auto pieces = reply.Pieces();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 4u);
  EXPECT_EQ(pieces[1].size(), 1u);
  EXPECT_EQ(pieces[2].size(), 4u);
  Bytes joined;
  for (const auto &piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
  EXPECT_EQ(joined, reply.bytes);
  EXPECT_EQ(model.Counters().packetsStored, 1u);
}

TEST(BootLoaderModelFaults, DelayedReplyIsOtherwiseIntact) {
  BootLoaderModel model;
  model.FailCommand(CMD_PROBE, ReplyFault{.delay = std::chrono::milliseconds(700)});
  const ModelReply reply = Exchange(model, Control(CMD_PROBE));
  EXPECT_EQ(reply.delay, std::chrono::milliseconds(700));
  EXPECT_EQ(reply.bytes, Control(CMD_PROBE)) << "the probe reply mirrors the probe";
  EXPECT_EQ(reply.Pieces().size(), 1u);
}

TEST(BootLoaderModelFaults, StallAfterNPackets) {
  BootLoaderModel model = ReadyModel();
  model.StallAfterPackets(2);
  EXPECT_EQ(model.Feed(Data(PacketOf(1, 8))).size(), 1u);
  EXPECT_FALSE(model.Stalled());
  EXPECT_EQ(model.Feed(Data(PacketOf(2, 8))).size(), 1u);
  EXPECT_TRUE(model.Stalled());
  EXPECT_TRUE(model.Feed(Data(PacketOf(3, 8))).empty());
  EXPECT_TRUE(model.Feed(Control(CMD_FINISH)).empty()) << "nothing at all is answered";
  EXPECT_EQ(model.Counters().packetsStored, 2u);
  EXPECT_EQ(model.Frames().size(), 6u) << "frames are still recorded";
  model.Reset();
  EXPECT_FALSE(model.Stalled());
}

// The core drives the model as a procedure does, with the exchange state,
// through a whole upgrade of the demonstration image.
class ExchangeDriver {
 public:
  explicit ExchangeDriver(BootLoaderModel &model) : model_(model) {}

  ReplyOutcome Control(uint8_t command) { return Send(command, Bytes(g_TxFrame, g_TxFrame + g_nTxLen)); }
  ReplyOutcome Data() {
    uint8_t frame[kDataFrameBufferSize];
    const DataFrameBuild built = BuildDataFrame(frame);
    EXPECT_TRUE(built);
    return Send(CMD_DATA, Bytes(frame, frame + built.length));
  }

 private:
  ReplyOutcome Send(uint8_t command, const Bytes &frame) {
    const std::vector<ModelReply> replies = model_.Feed(frame);
    std::memset(g_RxFrame, 0, sizeof g_RxFrame);
    g_bRxReady = 0;
    if (replies.size() == 1 && replies[0].bytes.size() == size_t(ReplyLength(command))) {
      std::memcpy(g_RxFrame, replies[0].bytes.data(), replies[0].bytes.size());
      g_bRxReady = 1;
    }
    return JudgeReceivedReply(command);
  }
  BootLoaderModel &model_;
};

TEST(BootLoaderModelWithCore, DemoImageArrivesWholeWithZeroFill) {
  ImageLoadResult loaded = LoadImageFile(VELLORAN_DEMO_IMAGE);
  ASSERT_TRUE(loaded.ok()) << loaded.cause;
  const LoadedImage &image = loaded.image;
  BootLoaderModel model;
  model.SetExpectedVersion(std::array<uint8_t, 2>{0x04, 0x00});
  ExchangeDriver driver(model);

  ResetExchange();
  BuildControlFrame(CMD_ENTER_BOOT);
  ASSERT_EQ(driver.Control(CMD_ENTER_BOOT), ReplyOutcome::kSuccess);
  g_nPacketSize = PacketSizeFromBootReply(g_RxFrame);
  ASSERT_EQ(g_nPacketSize, 512u);
  ResetExchange();
  DescrambleImageHeader(image);
  BuildVersionFrame();
  ASSERT_EQ(driver.Control(CMD_VERSION), ReplyOutcome::kSuccess) << "the demo image's version is 04 00";
  ResetExchange();
  BuildControlFrame(CMD_ERASE);
  ASSERT_EQ(driver.Control(CMD_ERASE), ReplyOutcome::kSuccess);

  const uint32_t packets = PacketCount(image.size, g_nPacketSize);
  EXPECT_EQ(packets, 10u);
  for (uint32_t i = 0; i < packets; ++i) {
    ResetExchange();
    SetDataFrameHead();
    ASSERT_TRUE(CutPacket(image, i, g_nPacketSize));
    ASSERT_EQ(driver.Data(), ReplyOutcome::kSuccess) << "packet " << i + 1;
  }
  ResetExchange();
  BuildControlFrame(CMD_FINISH);
  ASSERT_EQ(driver.Control(CMD_FINISH), ReplyOutcome::kSuccess);

  const uint8_t *end = image.buffer.get() + image.size;
  Bytes expected(image.data(), end);
  expected.resize(size_t{packets} * 512, 0);
  EXPECT_EQ(model.FlashedImage(), expected);
  EXPECT_TRUE(model.Finished());
}

}  // namespace
