// The step, packet and finish tables shared by the USB and serial procedures,
// with replies placed in the exchange state as a link would leave them.
#include "upgrade_steps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "crc16.h"
#include "exchange.h"
#include "recording_window.h"
#include "status_report.h"
#include "upgrade_schedule.h"

namespace velloran {
namespace {

using Lines = std::vector<std::pair<std::string, int>>;

// Places a well-formed reply of length bytes with a status in the exchange
// state, as a link does when the reply has come.
void PlaceReply(int length, uint8_t status, uint8_t byte8 = 0, uint8_t byte9 = 0) {
  ResetExchange();
  uint8_t reply[12] = {0x1E, 0x12, 0x55, 0x00, status, 0, static_cast<uint8_t>(length - 9)};
  if (length == 12) reply[8] = byte8, reply[9] = byte9;
  AppendCrc16(reply, static_cast<uint16_t>(length - 2));
  std::memcpy(g_RxFrame, reply, sizeof reply);
  g_nRxLen = length;
  g_bRxReady = 1;
}

class UpgradeSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetExchange();
    g_nPacketSize = 0;
    SetUpgradeWindow(&window_);
  }
  void TearDown() override { SetUpgradeWindow(nullptr); }
  RecordingWindow window_;
};

TEST_F(UpgradeSteps, ControlStepLinesFollowTheStepTable) {
  struct Row {
    ControlStep step;
    int replyLength;
    int status;  // -1: no reply, -2: bad checksum
    std::pair<std::string, int> line;
    bool ok;
  };
  const Row rows[] = {
      {ControlStep::kSwitchToBoot, 12, 6, {"模式切换成功！打印机进入Boot模式！", 100}, true},
      {ControlStep::kSwitchToBoot, 12, -1, {"打印机未响应！终止！", 0}, false},
      {ControlStep::kSwitchToBoot, 12, -2, {"接收CRC错误！退出！", 0}, false},
      {ControlStep::kSwitchToBoot, 12, 1, {"其他故障！退出！", 0}, false},
      {ControlStep::kSwitchToBoot, 12, 7, {"其他故障！退出！", 0}, false},
      {ControlStep::kCheckVersion, 11, 1, {"版本匹配！", 100}, true},
      {ControlStep::kCheckVersion, 11, 7, {"版本不匹配！退出！", 20}, false},
      {ControlStep::kCheckVersion, 11, 2, {"CRC错误！退出！", 20}, false},
      {ControlStep::kCheckVersion, 11, 6, {"其他故障！退出！", 20}, false},
      {ControlStep::kCheckVersion, 11, -1, {"打印机未响应！终止！", 0}, false},
      {ControlStep::kEraseFlash, 9, 1, {"擦除成功！", 300}, true},
      {ControlStep::kEraseFlash, 9, 3, {"FLASH擦除错误！退出！", 240}, false},
      {ControlStep::kEraseFlash, 9, -2, {"接收CRC错误！退出！", 240}, false},
      {ControlStep::kEraseFlash, 9, 7, {"其他故障！退出！", 240}, false},
  };
  for (const Row &row : rows) {
    window_.lines.clear();
    PlaceReply(row.replyLength, row.status < 0 ? 1 : static_cast<uint8_t>(row.status), 2, 0);
    if (row.status == -1) g_bRxReady = 0;
    if (row.status == -2) g_RxFrame[row.replyLength - 1] ^= 0xFF;
    EXPECT_EQ(ReportControlStep(row.step), row.ok) << row.line.first;
    EXPECT_EQ(window_.lines, Lines{row.line});
  }
}

TEST_F(UpgradeSteps, VersionVerdictsWaitBeforeTheirLine) {
  for (uint8_t status : {1, 7}) {
    PlaceReply(11, status);
    const auto start = std::chrono::steady_clock::now();
    ReportControlStep(ControlStep::kCheckVersion);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
  }
}

TEST_F(UpgradeSteps, BootSwitchTakesThePacketSizeAndRefusesUnusableOnes) {
  PlaceReply(12, 6, 1, 0);
  EXPECT_FALSE(BootReplyAnnouncesUnusableSize());
  EXPECT_TRUE(ReportControlStep(ControlStep::kSwitchToBoot));
  EXPECT_EQ(g_nPacketSize, 256u);

  for (auto [base, exponent] : {std::pair<uint8_t, uint8_t>{0, 0}, {4, 0}, {1, 8}}) {
    window_.lines.clear();
    PlaceReply(12, 6, base, exponent);
    EXPECT_TRUE(BootReplyAnnouncesUnusableSize());
    EXPECT_FALSE(ReportControlStep(ControlStep::kSwitchToBoot));
    EXPECT_EQ(g_nPacketSize, 256u) << "an unusable size must not replace the last one";
    ASSERT_EQ(window_.lines.size(), 1u);
    EXPECT_EQ(window_.lines[0].second, 0);
    EXPECT_EQ(window_.lines[0].first.find("模式切换成功"), std::string::npos);
  }
}

TEST_F(UpgradeSteps, FirstBootSwitchTakesWhateverSizeItsReplyAnnounces) {
  for (auto size : {std::pair<uint8_t, uint8_t>{0, 0}, {4, 0}, {2, 0}}) {
    window_.lines.clear();
    PlaceReply(12, 6, size.first, size.second);
    EXPECT_TRUE(ReportBootSwitch(BootSwitch::kFirst));
    EXPECT_EQ(g_nPacketSize, PacketSizeFromBootReply(g_RxFrame));
    EXPECT_EQ(window_.lines, (Lines{{"模式切换成功！打印机进入Boot模式！", 100}}));
  }
  PlaceReply(12, 6, 4, 0);
  EXPECT_FALSE(ReportBootSwitch(BootSwitch::kSecond));
  EXPECT_EQ(g_nPacketSize, 512u) << "the second switch keeps the last usable size";
}

// A link that answers every data frame as told and records what it was
// given to send.
struct FakeDataLink {
  static inline std::vector<std::vector<uint8_t>> sent;
  static inline std::vector<int> statuses;  // per packet; -1 no reply, -2 bad checksum
  static void Send() {
    sent.emplace_back(g_PacketData, g_PacketData + g_nPacketLen);
    const size_t i = sent.size() - 1;
    const int status = i < statuses.size() ? statuses[i] : 1;
    PlaceReply(9, status < 0 ? 1 : static_cast<uint8_t>(status));
    if (status == -1) g_bRxReady = 0;
    if (status == -2) g_RxFrame[8] ^= 0xFF;
  }
};

LoadedImage MakeImage(uint32_t size) {
  LoadedImage image;
  image.buffer = std::make_unique<uint8_t[]>(size + 1);
  for (uint32_t i = 0; i < size; ++i) image.buffer[i] = static_cast<uint8_t>(i * 7 + 1);
  image.size = size;
  return image;
}

TEST_F(UpgradeSteps, PacketPhaseReportsEachPacketWithItsProgress) {
  FakeDataLink::sent.clear();
  FakeDataLink::statuses.clear();
  g_nPacketSize = 16;
  const LoadedImage image = MakeImage(3 * 16 + 5);  // three full packets and a short one
  ASSERT_TRUE(SendImagePackets(image, PacketLink{0, FakeDataLink::Send}));
  EXPECT_EQ(window_.lines, (Lines{{"第1包数据发送成功！", 0},
                                  {"第2包数据发送成功！", 25},
                                  {"第3包数据发送成功！", 50},
                                  {"第4包数据发送成功！", 100}}));
  ASSERT_EQ(FakeDataLink::sent.size(), 4u);
  // The stream: the data behind the 8-byte header, then zeros to the full size.
  std::vector<uint8_t> expected(image.buffer.get() + 8, image.buffer.get() + image.size);
  expected.resize(4 * 16, 0);
  std::vector<uint8_t> joined;
  for (const auto &packet : FakeDataLink::sent) joined.insert(joined.end(), packet.begin(), packet.end());
  EXPECT_EQ(joined, expected);
}

TEST_F(UpgradeSteps, PacketFailuresEndThePhaseWithTheTableLine) {
  struct Row {
    std::vector<int> statuses;
    std::pair<std::string, int> line;
  };
  const Row rows[] = {
      {{-1}, {"固件故障！终止！", 0}},
      {{1, -2}, {"传输错误！终止！", 0}},
      {{1, 1, 2}, {"CRC故障！终止！", 25}},
      {{1, 1, 1, 2}, {"CRC错误！终止！", 50}},  // the short packet
      {{1, 3}, {"FLASH擦除错误！终止！", 0}},
      {{1, 1, 6}, {"其他故障！终止！", 25}},
  };
  g_nPacketSize = 16;
  const LoadedImage image = MakeImage(3 * 16 + 5);
  for (const Row &row : rows) {
    window_.lines.clear();
    FakeDataLink::sent.clear();
    FakeDataLink::statuses = row.statuses;
    EXPECT_FALSE(SendImagePackets(image, PacketLink{0, FakeDataLink::Send}));
    EXPECT_EQ(FakeDataLink::sent.size(), row.statuses.size()) << "packets after a failure";
    ASSERT_FALSE(window_.lines.empty());
    EXPECT_EQ(window_.lines.back(), row.line);
  }
}

TEST_F(UpgradeSteps, FinishReportsCompletionWithTheClosingBox) {
  PlaceReply(9, 1);
  EXPECT_TRUE(ReportFinish());
  EXPECT_EQ(window_.lines, (Lines{{"升级完成！！！", 200}}));
  EXPECT_EQ(window_.boxes, std::vector<std::string>{"Upgrade Complete！"});

  window_.lines.clear();
  ResetExchange();  // no reply: no line at all
  EXPECT_FALSE(ReportFinish());
  EXPECT_TRUE(window_.lines.empty());

  for (auto [status, text] : {std::pair<int, const char *>{2, "CRC错误！终止！"},
                              {3, "FLASH擦除错误！终止！"},
                              {7, "其他故障！终止！"}}) {
    window_.lines.clear();
    PlaceReply(9, static_cast<uint8_t>(status));
    EXPECT_FALSE(ReportFinish());
    EXPECT_EQ(window_.lines, (Lines{{text, 300}}));
  }
  EXPECT_EQ(window_.boxes.size(), 1u);
}

TEST(UpgradeTiming, FloorsAddUpThePrescribedPauses) {
  // USB: 8.1 s of step pauses and 100 ms before each of 128 packets.
  EXPECT_DOUBLE_EQ(UsbUpgradeTime(65536, 512).TotalMs(), 8100 + 128 * 100);
  EXPECT_DOUBLE_EQ(UsbUpgradeTime(65537, 512).TotalMs(), 8100 + 129 * 100);
  // Parallel port: no pause between packets.
  EXPECT_DOUBLE_EQ(LptUpgradeTime(65536).TotalMs(), LptUpgradeTime(512).TotalMs());
  // Serial: a printer found later costs the silent rates in both detections.
  const UpgradeTime first = SerialUpgradeTime(65536, 512, 1);
  const UpgradeTime last = SerialUpgradeTime(65536, 512, 6);
  EXPECT_DOUBLE_EQ(last.pausesMs - first.pausesMs, 2 * 5 * 1010.0);
  EXPECT_LT(last.wireMs, first.wireMs);
}

}  // namespace
}  // namespace velloran
