// The progress bar and the following of an upgrade along its schedule.
#include <gtest/gtest.h>

#include <sstream>

#include "console_reporter.h"
#include "progress_bar.h"
#include "status_feed.h"
#include "upgrade_progress.h"
#include "upgrade_schedule.h"

namespace velloran::cli {
namespace {

TEST(ProgressBar, FillsTheTerminalWidthWithoutWrapping) {
  for (const int columns : {44, 80, 132, 200}) {
    const std::string line = DrawProgressBar("Erasing the flash", 0.5, 2, "8.1 s left", {columns, false});
    EXPECT_EQ(DisplayWidth(line), columns - 1) << line;
    EXPECT_NE(line.find("Erasing the flash"), std::string::npos) << line;
    EXPECT_NE(line.find(" 50%"), std::string::npos) << line;
    EXPECT_NE(line.find("8.1 s left"), std::string::npos) << line;
  }
  // Too narrow for everything: the phase's padding goes first, then the time
  // left, then the phase.
  const std::string forty = DrawProgressBar("Erasing the flash      ", 0.5, 0, "8.1 s left", {40, false});
  EXPECT_EQ(DisplayWidth(forty), 39) << forty;
  EXPECT_EQ(forty.rfind("Erasing the flash  [", 0), 0u) << forty;
  EXPECT_EQ(forty.find("left"), std::string::npos) << forty;
  const std::string narrow = DrawProgressBar("Erasing the flash", 0.5, 0, "8.1 s left", {30, false});
  EXPECT_EQ(DisplayWidth(narrow), 29) << narrow;
  EXPECT_EQ(narrow.find("Erasing"), std::string::npos) << narrow;
  // Chinese takes two columns a character.
  const std::string chinese = DrawProgressBar("擦除闪存", 1.0, 0, "剩余0.0秒", {60, false});
  EXPECT_EQ(DisplayWidth(chinese), 59) << chinese;
  EXPECT_EQ(DisplayWidth("擦除"), 4);
}

TEST(ProgressBar, ColourOnlyWhenWanted) {
  EXPECT_NE(DrawProgressBar("Sending", 0.3, 1, "", {80, true}).find("\x1b[32m"), std::string::npos);
  EXPECT_EQ(DrawProgressBar("Sending", 0.3, 1, "", {80, false}).find('\x1b'), std::string::npos);
  EXPECT_TRUE(ColourWanted(nullptr, "xterm-256color"));
  EXPECT_TRUE(ColourWanted("", "xterm"));
  EXPECT_FALSE(ColourWanted("1", "xterm"));
  EXPECT_FALSE(ColourWanted(nullptr, "dumb"));
}

TEST(UpgradeSchedule, EndsWhereTheTimingSaysAndRunsForward) {
  for (const auto &schedule : {UsbSchedule(5000, 512), SerialSchedule(5000, 512, 3), LptSchedule(5000)}) {
    ASSERT_FALSE(schedule.empty());
    for (size_t i = 1; i < schedule.size(); ++i) EXPECT_GE(schedule[i].AtMs(), schedule[i - 1].LastAtMs());
  }
  EXPECT_DOUBLE_EQ(UsbSchedule(5000, 512).back().AtMs(), UsbUpgradeTime(5000, 512).TotalMs());
  EXPECT_DOUBLE_EQ(SerialSchedule(5000, 512, 3).back().AtMs(), SerialUpgradeTime(5000, 512, 3).TotalMs());
  EXPECT_DOUBLE_EQ(LptSchedule(5000).back().AtMs(), 4900);
  // The packets are one run: following a 4 GB image costs what a small one does.
  EXPECT_EQ(UsbSchedule(4'000'000'000u, 512).size(), UsbSchedule(5000, 512).size());
  EXPECT_EQ(SerialSchedule(4'000'000'000u, 512, 6).size(), SerialSchedule(5000, 512, 6).size());
}

// Feeds a USB run's lines at the times its schedule gives, late by a factor.
TEST(UpgradeProgress, FollowsARunAlongTheSchedule) {
  UpgradeProgress progress(Link::kUsb, 5000);
  EXPECT_EQ(progress.Phase(), UpgradePhase::kPrepare);
  EXPECT_EQ(progress.Packets(), 10u);
  const double total = progress.ExpectedTotalMs();
  EXPECT_DOUBLE_EQ(total, 8100 + 10 * 100);
  EXPECT_DOUBLE_EQ(progress.RemainingMs(0), total);

  const std::vector<Milestone> schedule = UsbSchedule(5000, 512);
  for (const Milestone &m : schedule) {
    for (uint32_t line = 0; line < m.lines; ++line) {
      const bool packet = m.status == StatusId::kPacketSentFormat;
      const StatusMeaning meaning = MeaningOf({m.status, packet ? std::optional<uint32_t>(line + 1) : std::nullopt});
      const double at = m.AtMs(line);
      progress.OnStatus(meaning, at + 50);
      // At each line the time left is what the schedule has after it.
      EXPECT_NEAR(progress.RemainingMs(at + 50), total - at, 1e-6) << meaning.id;
      if (m.status == StatusId::kEraseStart) {
        EXPECT_EQ(progress.Phase(), UpgradePhase::kErase);
        // The time goes down during the pause, but not below the next line's.
        EXPECT_NEAR(progress.RemainingMs(at + 50 + 300), total - at - 300, 1e-6);
        EXPECT_NEAR(progress.RemainingMs(at + 50 + 5000), total - at - 500, 1e-6);
      }
    }
  }
  EXPECT_EQ(progress.Packet(), 10u);
  EXPECT_EQ(progress.BytesSent(), 5120u);
  EXPECT_EQ(progress.BytesTotal(), 5120u);
  EXPECT_EQ(progress.Phase(), UpgradePhase::kFinish);
  EXPECT_DOUBLE_EQ(progress.Fraction(total + 1000), 1.0);
}

TEST(UpgradeProgress, SerialRedrawsTheScheduleWhenThePrinterIsFound) {
  UpgradeProgress progress(Link::kSerial, 5000);
  const double quickest = progress.ExpectedTotalMs();
  for (int position = 1; position <= 6; ++position) {
    EXPECT_LE(quickest, SerialUpgradeTime(5000, 512, position).TotalMs());
  }
  progress.OnStatus(MeaningOf({StatusId::kTestingBaudFormat, 4800}), 0);
  progress.OnStatus(MeaningOf({StatusId::kTestingBaudFormat, 9600}), 1010);
  progress.OnStatus(MeaningOf({StatusId::kBaudFoundFormat, 9600}), 1020);
  EXPECT_EQ(progress.Baud(), 9600u);
  EXPECT_DOUBLE_EQ(progress.ExpectedTotalMs(), SerialUpgradeTime(5000, 512, 2).TotalMs());
  const std::vector<Milestone> schedule = SerialSchedule(5000, 512, 2);
  EXPECT_NEAR(progress.RemainingMs(1020), progress.ExpectedTotalMs() - schedule[2].AtMs(), 1e-6);
  // A printer that announces 256-byte packets sends twice as many.
  progress.SetPacketSize(256);
  EXPECT_EQ(progress.Packets(), 20u);
}

// A silent rate that took three reads instead of two: the rates of the
// second detection are expected to take as long.
TEST(UpgradeProgress, SilentRatesTakeAsLongAsThoseSeen) {
  UpgradeProgress progress(Link::kSerial, 5000);
  progress.OnStatus(MeaningOf({StatusId::kTestingBaudFormat, 4800}), 0);
  progress.OnStatus(MeaningOf({StatusId::kTestingBaudFormat, 9600}), 1510);
  progress.OnStatus(MeaningOf({StatusId::kTestingBaudFormat, 19200}), 3020);
  progress.OnStatus(MeaningOf({StatusId::kBaudFoundFormat, 19200}), 3030);
  const std::vector<Milestone> schedule = SerialSchedule(5000, 512, 3);
  const double scheduled = SerialUpgradeTime(5000, 512, 3).TotalMs() - schedule[2].AtMs();  // baud_found
  // Two silent rates of the second detection, each 500 ms longer.
  EXPECT_NEAR(progress.RemainingMs(3030), scheduled + 2 * 500, 1e-6);
}

TEST(ConsoleReporter, DrawsOneBarAsWideAsTheTerminal) {
  std::ostringstream out, err;
  OutputSettings settings;
  settings.bar = true;
  settings.look = {57, false};
  ConsoleReporter reporter(out, err, settings);
  reporter.BeginUpgrade(Link::kUsb, "", std::nullopt);
  test::Feed(reporter, StatusId::kPreparingBoot, 0);
  test::Feed(reporter, StatusId::kBootEntered, 100);
  reporter.ReportResult(true);
  const std::string text = out.str();
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), text.rfind('\n')) << "one line only: the closing one\n" << text;
  // Each drawing of the bar starts with a carriage return and fills 56 columns.
  const size_t bar = text.find("\rSwitching to boot mode   [");
  ASSERT_NE(bar, std::string::npos) << text;
  const size_t end = text.find('\r', bar + 1);
  EXPECT_EQ(DisplayWidth(text.substr(bar + 1, end - bar - 1)), 56);
  EXPECT_NE(text.find("Upgrade completed: wrote 0 bytes in "), std::string::npos) << text;
}

}  // namespace
}  // namespace velloran::cli
