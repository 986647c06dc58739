// A stop request during each procedure, against the simulated printers: the
// procedure ends at the next frame boundary through its failure exit (port
// closed, busy flag cleared), a long pause ends at once, and no status line
// follows that would describe a frame that never went out.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>

#include "app_values.h"
#include "e2e_support.h"
#include "exchange.h"
#include "frame.h"
#include "lpt_printer.h"
#include "lpt_upgrade.h"
#include "procedures.h"
#include "serial_printer.h"
#include "upgrade_stop.h"
#include "upgrade_texts.h"
#include "usb_printer.h"
#include "usb_upgrade.h"
#include "win32_comm.h"

namespace velloran::e2e {
namespace {

using namespace std::chrono;

// Records the lines and lets the test wait for one of them.
class WaitingWindow : public UpgradeWindow {
 public:
  WaitingWindow() { SetUpgradeWindow(this); }
  ~WaitingWindow() override { SetUpgradeWindow(nullptr); }
  void OnUpgradeStatus(std::string *text, int code, const StatusMeaning &) override {
    std::unique_ptr<std::string> owned(text);
    std::lock_guard lock(mutex_);
    lines_.emplace_back(*owned, code);
    changed_.notify_all();
  }
  void ShowMessageBox(const std::string &text, const StatusMeaning &) override {
    std::lock_guard lock(mutex_);
    boxes_.push_back(text);
  }
  // Waits until a line starts with text; the number of lines then.
  size_t WaitFor(const std::string &text) {
    std::unique_lock lock(mutex_);
    size_t found = 0;
    changed_.wait_for(lock, seconds(30), [&] {
      for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].first.rfind(text, 0) == 0) return (found = i + 1) != 0;
      }
      return false;
    });
    return found;
  }
  Lines TakeLines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Boxes() {
    std::lock_guard lock(mutex_);
    return boxes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Lines lines_;
  std::vector<std::string> boxes_;
};

// The procedure on a thread of its own, as the dialog runs it.
class ProcedureRun {
 public:
  explicit ProcedureRun(unsigned (*procedure)(void *)) {
    ResetUpgradeStop();
    result_ = std::async(std::launch::async, procedure, nullptr);
  }
  // Asks for the stop; the procedure's result and how long it took to end.
  std::pair<unsigned, long long> Stop() {
    const auto asked = steady_clock::now();
    RequestUpgradeStop();
    if (result_.wait_for(seconds(20)) != std::future_status::ready) return {99, -1};
    return {result_.get(), duration_cast<milliseconds>(steady_clock::now() - asked).count()};
  }
  ~ProcedureRun() { ResetUpgradeStop(); }

 private:
  std::future<unsigned> result_;
};

bool IsPacketLine(const Line &line) {
  unsigned number = 0;
  return std::sscanf(line.first.c_str(), "第%u包", &number) == 1;
}

size_t DataFrames(const std::vector<ReceivedFrame> &frames) {
  size_t count = 0;
  for (const ReceivedFrame &frame : frames) count += frame.command == CMD_DATA ? 1 : 0;
  return count;
}

bool PortOpensExclusively(const std::string &name) {
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

class UpgradeStop : public ::testing::Test {
 protected:
  void StartUsb() {
    usb_ = std::make_unique<sim::UsbPrinter>();
    std::string error;
    ASSERT_TRUE(usb_->Start(&error)) << error;
    SetEnvironment("VELLORAN_SYSFS_ROOT", usb_->SysfsRoot().string());
    SetEnvironment("VELLORAN_DEV_ROOT", usb_->DevRoot().string());
  }
  void TearDown() override {
    if (usb_) usb_->Stop();
    if (serial_) serial_->Stop();
    if (lpt_) lpt_->Stop();
  }

  std::unique_ptr<sim::UsbPrinter> usb_;
  std::unique_ptr<sim::SerialPrinter> serial_;
  std::unique_ptr<sim::LptPrinter> lpt_;
  WaitingWindow window_;
};

// In the 3000 ms pause after the first boot switch: the pause ends at once
// and nothing follows.
TEST_F(UpgradeStop, UsbPauseEndsAtOnceAndNothingFollows) {
  StartUsb();
  const ImageFile image(3000);
  g_strImagePath.Set(image.Path());
  ProcedureRun run(UsbUpgradeProc);
  ASSERT_EQ(window_.WaitFor(text::kBootEntered), 2u);
  const auto [result, ms] = run.Stop();

  EXPECT_EQ(result, kUpgradeFailed);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(window_.TakeLines(), (Lines{{text::kPreparingBoot, 0}, {text::kBootEntered, 100}}));
  EXPECT_TRUE(window_.Boxes().empty());
  EXPECT_EQ(usb_->Frames().size(), 1u);
  EXPECT_EQ(ReachedSoFar(), UpgradeReach::kBootMode);
  EXPECT_EQ(g_hUsb, INVALID_HANDLE_VALUE);
  EXPECT_EQ(g_bUpgrading, 0);
}

// During the packets: the packet on its way is answered and reported, then
// the port is closed without a failure line.
TEST_F(UpgradeStop, UsbPacketsEndAfterTheFrameOnItsWay) {
  StartUsb();
  const ImageFile image(40 * 512);
  g_strImagePath.Set(image.Path());
  ProcedureRun run(UsbUpgradeProc);
  ASSERT_GT(window_.WaitFor("第2包"), 0u);
  const auto [result, ms] = run.Stop();

  EXPECT_EQ(result, kUpgradeFailed);
  const Lines lines = window_.TakeLines();
  ASSERT_TRUE(IsPacketLine(lines.back())) << lines.back().first;
  unsigned last = 0;
  std::sscanf(lines.back().first.c_str(), "第%u包", &last);
  EXPECT_LT(last, 40u);
  EXPECT_EQ(DataFrames(usb_->Frames()), last);
  EXPECT_FALSE(usb_->Finished());
  EXPECT_EQ(ReachedSoFar(), UpgradeReach::kFlash);
  EXPECT_EQ(g_hUsb, INVALID_HANDLE_VALUE);
  EXPECT_EQ(g_bUpgrading, 0);
}

// The serial link: its port is closed at once (a failed step leaves it open
// for the next detection; a stop does not).
TEST_F(UpgradeStop, SerialPortIsClosedAfterAStopInTheVersionPause) {
  sim::SerialPrinterOptions options;
  options.baud = 4800;
  serial_ = std::make_unique<sim::SerialPrinter>(options);
  std::string error;
  ASSERT_TRUE(serial_->Start(&error)) << error;
  SetEnvironment("VELLORAN_DEVICE_MAP", "COM7=" + serial_->SlavePath());
  g_nComPort = 7;
  const ImageFile image(3000);
  g_strImagePath.Set(image.Path());
  ProcedureRun run(ComUpgradeProc);
  const size_t count = window_.WaitFor(text::kVersionMatch);
  ASSERT_GT(count, 0u);
  const auto [result, ms] = run.Stop();

  EXPECT_EQ(result, kUpgradeFailed);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(window_.TakeLines().size(), count);
  EXPECT_EQ(serial_->Counters().erases, 0u);
  EXPECT_EQ(ReachedSoFar(), UpgradeReach::kBootMode);
  EXPECT_TRUE(PortOpensExclusively("COM7"));
  EXPECT_EQ(g_bUpgrading, 0);
}

// The parallel port, in the 2000 ms between its two boot switches.
TEST_F(UpgradeStop, ParallelPortIsClosedAfterAStopBetweenTheBootSwitches) {
  lpt_ = std::make_unique<sim::LptPrinter>();
  std::string error;
  ASSERT_TRUE(lpt_->Start(&error)) << error;
  SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + lpt_->SlavePath());
  const ImageFile image(3000);
  g_strImagePath.Set(image.Path());
  ProcedureRun run(LptUpgradeProc);
  ASSERT_EQ(window_.WaitFor(text::kBootEntered), 2u);
  const auto [result, ms] = run.Stop();

  EXPECT_EQ(result, kUpgradeFailed);
  EXPECT_LT(ms, 1000);
  EXPECT_EQ(window_.TakeLines().size(), 2u);
  EXPECT_TRUE(PortOpensExclusively("LPT1"));
  EXPECT_EQ(g_bUpgrading, 0);
}

}  // namespace
}  // namespace velloran::e2e
