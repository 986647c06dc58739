// The serial procedure against the simulated serial printer, which hears the
// tool only at its own line speed.
#include <gtest/gtest.h>

#include <cstdio>

#include "app_values.h"
#include "e2e_support.h"
#include "exchange.h"
#include "frame.h"
#include "global_com_port.h"
#include "procedures.h"
#include "serial_printer.h"
#include "upgrade_steps.h"
#include "upgrade_texts.h"

namespace velloran::e2e {
namespace {

using sim::SerialPrinter;
using sim::SerialPrinterOptions;
constexpr int kComPort = 7;

Line Testing(unsigned rate, int code) {
  char text[64];
  std::snprintf(text, sizeof text, text::kTestingBaudFormat, rate);
  return {text, code};
}

Line Found(unsigned rate) {
  char text[64];
  std::snprintf(text, sizeof text, text::kBaudFoundFormat, rate);
  return {text, 100};
}

class SerialUpgrade : public ::testing::Test {
 protected:
  void Start(SerialPrinterOptions options) {
    printer_ = std::make_unique<SerialPrinter>(std::move(options));
    std::string error;
    ASSERT_TRUE(printer_->Start(&error)) << error;
    SetEnvironment("VELLORAN_DEVICE_MAP", "COM" + std::to_string(kComPort) + "=" + printer_->SlavePath());
    g_nComPort = kComPort;
    g_nBaudRate = 4800;
  }
  void TearDown() override {
    g_ComPort.Close(500);
    if (printer_) printer_->Stop();
  }
  void ExpectClosedAndIdle() {
    EXPECT_FALSE(g_ComPort.IsOpen());
    EXPECT_EQ(g_bUpgrading, 0);
  }

  std::unique_ptr<SerialPrinter> printer_;
  RecordingWindow window_;
};

// The printer answers at 19200 and, once in boot mode, at 38400; the reply to
// the first packet comes in two pieces.
TEST_F(SerialUpgrade, CompletesAfterFindingTheRateTwice) {
  SerialPrinterOptions options;
  options.baud = 19200;
  options.baudAfterBoot = 38400;
  Start(options);
  printer_->WithModel([](BootLoaderModel &m) {
    m.FailPacket(1, InPieces(4, std::chrono::milliseconds(150)));
  });
  const ImageFile image(1000);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeCompleted);

  Lines expected = {Testing(4800, 14), Testing(9600, 28), Testing(19200, 42), Found(19200),
                    {text::kPreparingBoot, 0}, {text::kBootEntered, 100},
                    Testing(4800, 14), Testing(9600, 28), Testing(19200, 42), Testing(38400, 57),
                    Found(38400),
                    {text::kPreparingBoot, 0}, {text::kBootEntered, 100},
                    {text::kGettingVersion, 20}, {text::kVersionMatch, 100}};
  for (const Line &line : EraseLines()) expected.push_back(line);
  for (const Line &line : PacketLines(1, true)) expected.push_back(line);
  expected.emplace_back(text::kUpgradeDone, 200);
  EXPECT_EQ(window_.lines, expected);
  EXPECT_EQ(window_.boxes, std::vector<std::string>{text::kBoxUpgradeComplete});
  EXPECT_EQ(g_nBaudRate, 38400);
  EXPECT_EQ(printer_->FlashedImage(), image.ExpectedFlash(512));
  EXPECT_TRUE(printer_->Finished());
  ExpectClosedAndIdle();
  // The port stays closed for 3000 ms between the two detections.
  EXPECT_GE(MsBetween(window_, 5, 6), 2900);
}

// A control reply in two pieces 300 ms apart is not taken; the failed
// version check leaves the port open, and the next upgrade detects the rate
// again from the first one.
TEST_F(SerialUpgrade, SplitControlReplyFailsAndTheNextRunStartsOver) {
  SerialPrinterOptions options;
  options.baud = 4800;
  Start(options);
  printer_->WithModel([](BootLoaderModel &m) {
    m.FailCommand(CMD_VERSION, InPieces(5, std::chrono::milliseconds(300)));
  });
  const ImageFile image(700);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeFailed);
  ASSERT_FALSE(window_.lines.empty());
  EXPECT_EQ(window_.lines.back(), Line(text::kNoReplyEnd, 0));
  EXPECT_EQ(printer_->Counters().commandCounts[CMD_ERASE], 0u);
  EXPECT_TRUE(g_ComPort.IsOpen());
  EXPECT_EQ(g_bUpgrading, 0);

  window_.lines.clear();
  printer_->WithModel([](BootLoaderModel &m) {
    m.ClearFaults();
    m.FailCommand(CMD_ENTER_BOOT, WithStatus(3));
  });
  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeFailed);
  EXPECT_EQ(window_.lines, (Lines{Testing(4800, 14), Found(4800), {text::kPreparingBoot, 0},
                                  {text::kFlashErrorExit, 0}}));
}

TEST_F(SerialUpgrade, NoPrinterAtAnyRate) {
  SerialPrinterOptions options;
  options.baud = 2400;  // not in the list
  Start(options);
  const ImageFile image(700);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeFailed);
  ASSERT_EQ(window_.lines.size(), 7u);
  EXPECT_EQ(window_.lines[5], Testing(115200, 85));
  EXPECT_EQ(window_.lines[6], Line(text::kNoBaudFound, 100));
  ExpectClosedAndIdle();
}

TEST_F(SerialUpgrade, UnusablePacketSizeClosesTheLink) {
  SerialPrinterOptions options;
  options.baud = 4800;
  options.model.packetSizeBase = 4;  // 1024 bytes
  Start(options);
  const ImageFile image(2000);
  g_strImagePath.Set(image.Path());

  // The second boot switch sets the size the packets would use: it refuses.
  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeFailed);
  EXPECT_EQ(window_.lines, (Lines{Testing(4800, 14), Found(4800), {text::kPreparingBoot, 0},
                                  {text::kBootEntered, 100}, Testing(4800, 14), Found(4800),
                                  {text::kPreparingBoot, 0}, {text::kPacketSizeTooLarge, 0}}));
  EXPECT_EQ(printer_->Counters().commandCounts[CMD_VERSION], 0u);
  EXPECT_EQ(printer_->Counters().commandCounts[CMD_DATA], 0u);
  ExpectClosedAndIdle();
}

// The first boot switch only enters boot mode: a size above 512 in its reply
// does not stop an upgrade whose second reply announces 512.
TEST_F(SerialUpgrade, FirstBootReplysPacketSizeIsNotTheOneThePacketsUse) {
  SerialPrinterOptions options;
  options.baud = 4800;
  Start(options);
  printer_->WithModel([](BootLoaderModel &m) { m.AnnouncePacketSizeAt(1, 4, 0); });
  const ImageFile image(1000);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeCompleted);

  Lines expected = {Testing(4800, 14), Found(4800), {text::kPreparingBoot, 0}, {text::kBootEntered, 100},
                    Testing(4800, 14), Found(4800), {text::kPreparingBoot, 0}, {text::kBootEntered, 100},
                    {text::kGettingVersion, 20}, {text::kVersionMatch, 100}};
  for (const Line &line : EraseLines()) expected.push_back(line);
  for (const Line &line : PacketLines(1, true)) expected.push_back(line);
  expected.emplace_back(text::kUpgradeDone, 200);
  EXPECT_EQ(window_.lines, expected);
  EXPECT_EQ(printer_->FlashedImage(), image.ExpectedFlash(512));
  ExpectClosedAndIdle();
}

TEST_F(SerialUpgrade, BadImagesNeverReachThePrinter) {
  SerialPrinterOptions options;
  options.baud = 4800;
  Start(options);
  const BadImages images;
  for (const auto &[path, cause] : images.Cases()) {
    window_.lines.clear();
    window_.boxes.clear();
    g_strImagePath.Set(path);
    EXPECT_EQ(ComUpgradeProc(nullptr), kUpgradeFailed);
    ASSERT_EQ(window_.lines.size(), 1u) << path;
    EXPECT_EQ(window_.lines[0].second, 0);
    EXPECT_EQ(window_.boxes, std::vector<std::string>{ImageLoadFailedBox(cause)}) << path;
    ExpectClosedAndIdle();
  }
  EXPECT_EQ(printer_->BytesRead(), 0u);
}

}  // namespace
}  // namespace velloran::e2e
