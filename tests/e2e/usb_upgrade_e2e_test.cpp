// The USB procedure against the simulated USB printer (a fake usblp device
// whose node is a pseudo-terminal).
#include <gtest/gtest.h>

#include "app_values.h"
#include "e2e_support.h"
#include "exchange.h"
#include "frame.h"
#include "procedures.h"
#include "upgrade_steps.h"
#include "upgrade_texts.h"
#include "usb_printer.h"
#include "usb_upgrade.h"

namespace velloran::e2e {
namespace {

using sim::UsbPrinter;

class UsbUpgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(printer_.Start(&error)) << error;
    SetEnvironment("VELLORAN_SYSFS_ROOT", printer_.SysfsRoot().string());
    SetEnvironment("VELLORAN_DEV_ROOT", printer_.DevRoot().string());
  }
  void TearDown() override { printer_.Stop(); }

  void Fail(uint8_t command, ReplyFault fault) {
    printer_.WithModel([&](BootLoaderModel &m) { m.FailCommand(command, fault); });
  }
  void ExpectClosedAndIdle() {
    EXPECT_EQ(g_hUsb, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_bUpgrading, 0);
  }
  static Lines ControlLines() {
    return {{text::kPreparingBoot, 0}, {text::kBootEntered, 100}, {text::kGettingVersion, 20},
            {text::kVersionMatch, 100}, {text::kPreparingBoot, 0}, {text::kBootEntered, 100}};
  }
  // Every line of an upgrade that completes after the given packets.
  static Lines CompletedLines(uint32_t packets) {
    Lines lines = ControlLines();
    for (const Line &line : EraseLines()) lines.push_back(line);
    for (const Line &line : PacketLines(packets, false)) lines.push_back(line);
    lines.emplace_back(text::kUpgradeDone, 200);
    return lines;
  }

  UsbPrinter printer_;
  RecordingWindow window_;
};

// A whole upgrade with an image of exactly two packets; the reply to the
// second packet arrives as 4 and then 5 bytes.
TEST_F(UsbUpgrade, CompletesWithEveryLineAndTheFlashedImage) {
  const ImageFile image(1024);
  printer_.WithModel([](BootLoaderModel &m) {
    m.FailPacket(2, InPieces(4, std::chrono::milliseconds(60)));
  });
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeCompleted);

  const Lines expected = CompletedLines(2);
  EXPECT_EQ(window_.lines, expected);
  EXPECT_EQ(window_.boxes, std::vector<std::string>{text::kBoxUpgradeComplete});
  EXPECT_EQ(printer_.FlashedImage(), image.ExpectedFlash(512));
  EXPECT_TRUE(printer_.Finished());
  ExpectClosedAndIdle();
  // The 3000 ms pause after the first boot switch.
  EXPECT_GE(MsBetween(window_, 1, 2), 2900);
}

TEST_F(UsbUpgrade, FirstPacketWithoutReplyEndsWithFirmwareFault) {
  const ImageFile image(1500);
  printer_.WithModel([](BootLoaderModel &m) { m.FailPacket(1, NoReply()); });
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeFailed);
  ASSERT_FALSE(window_.lines.empty());
  EXPECT_EQ(window_.lines.back(), Line(text::kFirmwareFault, 0));
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(printer_.Counters().commandCounts[CMD_DATA], 1u);
  ExpectClosedAndIdle();
}

TEST_F(UsbUpgrade, FinishWithoutReplyAddsNoLineAndClosesThePort) {
  const ImageFile image(600);
  Fail(CMD_FINISH, NoReply());
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeFailed);
  ASSERT_FALSE(window_.lines.empty());
  EXPECT_EQ(window_.lines.back(), Line(PacketSentLine(2), 100));
  EXPECT_TRUE(window_.boxes.empty());
  ExpectClosedAndIdle();
}

// Each control step on its own, against every reply that is not success.
struct StepRow {
  ReplyFault fault;
  Line line;
};

void RunStepRows(UsbPrinter &printer, RecordingWindow &window, uint8_t command, bool (*step)(),
                 const std::vector<StepRow> &rows) {
  for (const StepRow &row : rows) {
    printer.WithModel([&](BootLoaderModel &m) {
      m.ClearFaults();
      m.FailCommand(command, row.fault);
    });
    window.lines.clear();
    g_VersionBytes[0] = 1, g_VersionBytes[1] = 2;
    EXPECT_FALSE(step()) << row.line.first;
    ASSERT_FALSE(window.lines.empty());
    EXPECT_EQ(window.lines.back(), row.line);
    EXPECT_EQ(g_hUsb, INVALID_HANDLE_VALUE) << row.line.first;
  }
}

std::vector<StepRow> Rows(int code, const char *statusSevenLine) {
  return {
      {NoReply(), {text::kNoReplyEnd, 0}},
      {BadChecksum(), {text::kReplyChecksumExit, code}},
      {WithStatus(2), {text::kCrcErrorExit, code}},
      {WithStatus(3), {text::kFlashErrorExit, code}},
      {WithStatus(7), {statusSevenLine, code}},
      {WithStatus(9), {text::kOtherFaultExit, code}},
  };
}

TEST_F(UsbUpgrade, BootSwitchFailures) {
  const auto start = std::chrono::steady_clock::now();
  RunStepRows(printer_, window_, CMD_ENTER_BOOT, [] { return UsbSwitchToBoot(BootSwitch::kSecond); },
              Rows(0, text::kOtherFaultExit));
  // The no-reply row waited the whole reply window although reads return
  // every 100 ms or so.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
}

TEST_F(UsbUpgrade, VersionCheckFailures) {
  printer_.WithModel([](BootLoaderModel &m) { m.SetExpectedVersion(std::nullopt); });
  UsbSwitchToBoot(BootSwitch::kFirst);  // boot mode for the model
  RunStepRows(printer_, window_, CMD_VERSION, UsbCheckVersion, Rows(20, text::kVersionMismatch));
}

TEST_F(UsbUpgrade, EraseFailures) {
  UsbSwitchToBoot(BootSwitch::kFirst);
  RunStepRows(printer_, window_, CMD_ERASE, UsbEraseFlash, Rows(240, text::kOtherFaultExit));
}

// The second boot switch sets the packet size of the data frames; one that
// no frame can carry ends the upgrade there, before the erase.
TEST_F(UsbUpgrade, UnusablePacketSizeEndsBeforeAnyDataFrame) {
  const ImageFile image(2000);
  g_strImagePath.Set(image.Path());
  for (const auto &size : {std::pair<uint8_t, uint8_t>{0, 0}, {4, 0}}) {
    window_.lines.clear();
    printer_.WithModel([&](BootLoaderModel &m) {
      m.Reset();
      m.SetPacketSize(size.first, size.second);
    });
    EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeFailed);
    Lines expected = ControlLines();
    expected.back() = {size.first == 0 ? text::kPacketSizeZero : text::kPacketSizeTooLarge, 0};
    EXPECT_EQ(window_.lines, expected);
    EXPECT_EQ(printer_.Counters().frames, 3u) << "boot switch, version check, boot switch";
    ExpectClosedAndIdle();
  }
}

// The first boot switch only enters boot mode: the size its reply announces
// is not the one the packets use, so 0 there still makes a whole upgrade.
TEST_F(UsbUpgrade, FirstBootReplysPacketSizeIsNotTheOneThePacketsUse) {
  const ImageFile image(1024);
  g_strImagePath.Set(image.Path());
  printer_.WithModel([](BootLoaderModel &m) { m.AnnouncePacketSizeAt(1, 0, 0); });

  EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeCompleted);

  const Lines expected = CompletedLines(2);
  EXPECT_EQ(window_.lines, expected);
  EXPECT_EQ(printer_.FlashedImage(), image.ExpectedFlash(512));
  ExpectClosedAndIdle();
}

TEST_F(UsbUpgrade, BadImagesNeverReachThePrinter) {
  const BadImages images;
  for (const auto &[path, cause] : images.Cases()) {
    window_.lines.clear();
    window_.boxes.clear();
    g_strImagePath.Set(path);
    EXPECT_EQ(UsbUpgradeProc(nullptr), kUpgradeFailed);
    ASSERT_EQ(window_.lines.size(), 1u) << path;
    EXPECT_EQ(window_.lines[0].second, 0);
    EXPECT_EQ(window_.boxes, std::vector<std::string>{ImageLoadFailedBox(cause)}) << path;
    ExpectClosedAndIdle();
  }
  EXPECT_EQ(printer_.BytesRead(), 0u);
}

}  // namespace
}  // namespace velloran::e2e
