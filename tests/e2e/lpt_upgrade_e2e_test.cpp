// The parallel-port procedure against the simulated printer on LPT1, which
// takes frames and never answers.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "app_values.h"
#include "corvalink.h"
#include "e2e_support.h"
#include "exchange.h"
#include "frame.h"
#include "lpt_printer.h"
#include "lpt_upgrade.h"
#include "procedures.h"
#include "upgrade_steps.h"
#include "upgrade_texts.h"

namespace velloran::e2e {
namespace {

using sim::LptPrinter;
using sim::LptPrinterOptions;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class LptUpgrade : public ::testing::Test {
 protected:
  void Start(LptPrinterOptions options) {
    printer_ = std::make_unique<LptPrinter>(std::move(options));
    std::string error;
    ASSERT_TRUE(printer_->Start(&error)) << error;
    SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer_->SlavePath());
  }
  void TearDown() override {
    if (printer_) printer_->Stop();
  }

  std::unique_ptr<LptPrinter> printer_;
  RecordingWindow window_;
};

// Ten full packets and a short one.
TEST_F(LptUpgrade, CompletesWithEveryLineAndTheFlashedImage) {
  Start({});
  const ImageFile image(10 * 512 + 100);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeCompleted);

  Lines expected = {{text::kPreparingBoot, 0},       {text::kBootEntered, 100},
                    {text::kPreparingBoot, 0},       {text::kLptPacketInfo, 100},
                    {text::kLptCheckingVersion, 20}, {text::kLptVersionChecked, 100},
                    {text::kEraseStart, 220},        {text::kEraseDots, 240},
                    {text::kLptEraseDone, 299}};
  const Lines packets = PacketLines(10, true);
  expected.insert(expected.end(), packets.begin(), packets.end());
  expected.emplace_back(text::kUpgradeDone, 200);
  EXPECT_EQ(window_.lines, expected);
  std::vector<int> values;
  for (const Line &line : packets) values.push_back(line.second);
  EXPECT_EQ(values, (std::vector<int>{0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 100}));
  EXPECT_EQ(window_.boxes, std::vector<std::string>{text::kBoxLptUpgradeComplete});
  EXPECT_TRUE(WaitForFinish(*printer_));
  EXPECT_EQ(printer_->FlashedImage(), image.ExpectedFlash(512));
  EXPECT_EQ(g_bUpgrading, 0);
  // The boot switches are 2000 ms apart.
  EXPECT_GE(MsBetween(window_, 1, 2), 1900);
}

// An image that the caller loaded (and described) is what is sent, whatever
// its file holds by then.
TEST_F(LptUpgrade, SendsTheImageAsItWasLoaded) {
  Start({});
  const ImageFile image(3 * 512 + 100);
  const ImageLoadResult loaded = LoadImageFile(image.Path());
  ASSERT_TRUE(loaded.ok());
  std::filesystem::remove(image.Path());
  g_strImagePath.Set(MissingImagePath());

  EXPECT_EQ(LptUpgradeProc(const_cast<ImageLoadResult *>(&loaded)), kUpgradeCompleted);
  EXPECT_TRUE(WaitForFinish(*printer_));
  EXPECT_EQ(printer_->FlashedImage(), image.ExpectedFlash(512));
}

TEST_F(LptUpgrade, PrinterThatTakesNothingDoesNotRespond) {
  LptPrinterOptions options;
  options.stallAfterBytes = 0;
  Start(options);
  const ImageFile image(1000);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeFailed);
  EXPECT_EQ(window_.lines, (Lines{{text::kPreparingBoot, 0}, {text::kLptNoReplyExit, 0}}));
  // 200 ms, then the write time-out of a 9-byte frame.
  EXPECT_GE(MsBetween(window_, 0, 1), 2000);
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(g_bUpgrading, 0);
}

// The printer stops taking data after three packets; the image is larger
// than what the port buffers, so the writes block. Each attempt's two writes
// run into their time-outs: exactly two attempts.
TEST_F(LptUpgrade, DataStallGivesTwoAttemptsThenFails) {
  LptPrinterOptions options;
  options.stallAfterPackets = 3;
  Start(options);
  const ImageFile image(400 * 512);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeFailed);
  ASSERT_GE(window_.lines.size(), 2u);
  const size_t last = window_.lines.size() - 1;
  EXPECT_EQ(window_.lines[last - 1].first.rfind("第", 0), 0u) << window_.lines[last - 1].first;
  EXPECT_EQ(window_.lines[last], Line(text::kLptSendFailed, window_.lines[last - 1].second));
  // One attempt lasts about 2002 + 2521 ms; a third would pass 13.5 s.
  const long long ms = MsBetween(window_, last - 1, last);
  EXPECT_GE(ms, 8000);
  EXPECT_LT(ms, 13000);
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(g_bUpgrading, 0);
}

// The printer is unplugged while its port stays open: every write fails at
// once. The retry window still runs its full length, but pauses between the
// attempts instead of spinning.
TEST_F(LptUpgrade, DataFrameRetryOnAVanishedPrinterDoesNotSpin) {
  Start({});
  g_hLpt = OpenLptA("LPT1");
  ASSERT_NE(g_hLpt, INVALID_HANDLE_VALUE);
  printer_->Stop();
  ResetExchange();
  SetDataFrameHead();
  g_nPacketLen = 512;

  const double cpu0 = ThreadCpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(LptSendDataFrame(), 0);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  const double cpu = ThreadCpuSeconds() - cpu0;
  CloseLpt(g_hLpt);
  EXPECT_GE(ms.count(), 3000) << "the retry window is 3000 ms";
  EXPECT_LT(cpu, 0.3) << "processor seconds spent in a " << ms.count() << " ms window";
}

TEST_F(LptUpgrade, PortThatCannotBeOpenedShowsOnlyTheBox) {
  SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=/nonexistent/lp-velloran");
  const ImageFile image(1000);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeFailed);
  EXPECT_TRUE(window_.lines.empty());
  EXPECT_EQ(window_.boxes, std::vector<std::string>{text::kBoxPortOpenFailed});
  EXPECT_EQ(g_bUpgrading, 0);
}

// LPT1 mapped to a plain file: it is no port, so nothing is written to it
// and nothing is reported as completed.
TEST_F(LptUpgrade, PortNameThatLeadsToAPlainFileIsNoPort) {
  const ImageFile target(std::vector<uint8_t>{'k', 'e', 'e', 'p'});
  SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + target.Path());
  const ImageFile image(1000);
  g_strImagePath.Set(image.Path());

  EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeFailed);
  EXPECT_TRUE(window_.lines.empty());
  EXPECT_EQ(window_.boxes, std::vector<std::string>{text::kBoxPortOpenFailed});
  EXPECT_EQ(std::filesystem::file_size(target.Path()), 4u) << "the file was written";
  EXPECT_EQ(g_bUpgrading, 0);
}

TEST_F(LptUpgrade, BadImagesNeverReachThePrinter) {
  Start({});
  const BadImages images;
  for (const auto &[path, cause] : images.Cases()) {
    window_.lines.clear();
    window_.boxes.clear();
    g_strImagePath.Set(path);
    EXPECT_EQ(LptUpgradeProc(nullptr), kUpgradeFailed);
    ASSERT_EQ(window_.lines.size(), 1u) << path;
    EXPECT_EQ(window_.lines[0].second, 0);
    EXPECT_EQ(window_.boxes, std::vector<std::string>{ImageLoadFailedBox(cause)}) << path;
    EXPECT_EQ(g_bUpgrading, 0);
  }
  EXPECT_EQ(printer_->BytesRead(), 0u);
}

}  // namespace
}  // namespace velloran::e2e
