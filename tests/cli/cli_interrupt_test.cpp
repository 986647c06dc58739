// Stopping velloran-cli's upgrade from outside: real signals and a closed
// output pipe sent to the real program while it upgrades a simulated
// printer. The upgrade stops at a frame boundary, the port is closed, and
// one line says what state the printer is left in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli_process.h"
#include "e2e_support.h"
#include "frame.h"
#include "json_output.h"
#include "lpt_printer.h"
#include "serial_printer.h"
#include "upgrade_texts.h"

namespace velloran::cli {
namespace {

using namespace std::chrono;
using test::CliProcess;
using test::Events;

constexpr auto kLong = milliseconds(20000);

// What the program wrote on standard error, a line each.
std::string ErrText(const CliProcess &cli) {
  std::string text;
  for (const std::string &line : cli.ErrLines()) text += line + "\n";
  return text;
}

size_t CountCommand(const std::vector<ReceivedFrame> &frames, uint8_t command) {
  return static_cast<size_t>(std::count_if(frames.begin(), frames.end(),
                                           [&](const ReceivedFrame &f) { return f.command == command; }));
}

// Waits until the printer has received a frame with this command.
template <class Printer>
bool WaitForFrame(const Printer &printer, uint8_t command, milliseconds timeout) {
  const auto deadline = steady_clock::now() + timeout;
  while (steady_clock::now() < deadline) {
    if (CountCommand(printer.Frames(), command) > 0) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return false;
}

// Every byte the parallel-port printer read belongs to a whole frame (data
// frames come after two zero bytes): nothing was cut off in the middle.
void ExpectOnlyWholeFrames(const sim::LptPrinter &printer) {
  uint64_t bytes = 0;
  for (const ReceivedFrame &frame : printer.Frames()) {
    EXPECT_TRUE(frame.checksumOk);
    bytes += frame.bytes.size() + (frame.command == CMD_DATA ? 2 : 0);
  }
  EXPECT_EQ(printer.BytesRead(), bytes);
}

class CliInterrupt : public ::testing::Test {
 protected:
  // A serial printer at 4800 baud, the first rate probed, named COM7.
  void StartSerial(std::function<void(BootLoaderModel &)> configure = {}) {
    sim::SerialPrinterOptions options;
    options.baud = 4800;
    serial_ = std::make_unique<sim::SerialPrinter>(options);
    if (configure) serial_->WithModel(configure);
    std::string error;
    ASSERT_TRUE(serial_->Start(&error)) << error;
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM7=" + serial_->SlavePath());
  }
  void StartLpt() {
    lpt_ = std::make_unique<sim::LptPrinter>();
    std::string error;
    ASSERT_TRUE(lpt_->Start(&error)) << error;
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + lpt_->SlavePath());
  }
  void TearDown() override {
    if (serial_) serial_->Stop();
    if (lpt_) lpt_->Stop();
  }

  std::unique_ptr<sim::SerialPrinter> serial_;
  std::unique_ptr<sim::LptPrinter> lpt_;
};

// Ctrl-C in the 3000 ms pause after the first boot switch: it ends at once,
// sends no further frame, and says the firmware is unchanged.
TEST_F(CliInterrupt, CtrlCBeforeTheEraseLeavesTheFirmwareUnchanged) {
  StartSerial();
  const e2e::ImageFile image(2000);
  CliProcess cli({"--lang", "en", "upgrade", "--link", "serial", "--port", "COM7", "--json", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitForLine(text::kBootEntered, kLong)) << ErrText(cli);
  const size_t framesBefore = serial_->Frames().size();
  const auto signalled = steady_clock::now();
  cli.Signal(SIGINT);
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - signalled).count(), 2000);
  EXPECT_TRUE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 130);
  EXPECT_EQ(serial_->Frames().size(), framesBefore);
  // After the boot switch's line only the stop and the result.
  const std::vector<Json> events = Events(cli);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 3]["text"], text::kBootEntered);
  EXPECT_EQ(events[events.size() - 2]["event"], "stopped");
  EXPECT_EQ(events[events.size() - 2]["id"], "stopped_before_erase");
  const Json &result = events.back();
  EXPECT_EQ(result["event"], "result");
  EXPECT_EQ(result["ok"], false);
  EXPECT_EQ(result["reason"], "interrupted");
  EXPECT_EQ(result["printer"], "boot_mode");
  // The answer to Ctrl-C, then the printer's state.
  ASSERT_EQ(cli.ErrLines().size(), 2u) << ErrText(cli);
  EXPECT_NE(cli.ErrLines()[0].find("stopping after the printer answers"), std::string::npos);
  EXPECT_NE(cli.ErrLines()[1].find("before the erase: the printer's firmware is unchanged"), std::string::npos);
}

// A hang-up is no one's choice to stop: once the erase went out (here while
// the printer takes its time to answer it) the upgrade runs to its end, as
// an ssh session that drops must not leave a half-written flash; before the
// erase it stops as Ctrl-C does.
TEST_F(CliInterrupt, HangUpAfterTheEraseLetsTheUpgradeFinish) {
  StartSerial([](BootLoaderModel &model) { model.FailCommand(CMD_ERASE, ReplyFault{.delay = milliseconds(1200)}); });
  const e2e::ImageFile image(2000);
  CliProcess cli({"--lang", "zh", "-v", "upgrade", "--link", "serial", "--port", "COM7", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(WaitForFrame(*serial_, CMD_ERASE, kLong));
  cli.Signal(SIGHUP);
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_FALSE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 0);
  EXPECT_TRUE(serial_->Finished());
  EXPECT_EQ(serial_->FlashedImage(), image.ExpectedFlash(512));
  ASSERT_FALSE(cli.OutLines().empty());
  EXPECT_EQ(cli.OutLines().back().rfind("升级完成", 0), 0u) << cli.OutLines().back();
  EXPECT_TRUE(cli.ErrLines().empty()) << ErrText(cli);
}

TEST_F(CliInterrupt, HangUpBeforeTheEraseStops) {
  StartSerial();
  const e2e::ImageFile image(2000);
  CliProcess cli({"--lang", "en", "upgrade", "--link", "serial", "--port", "COM7", "--json", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitForLine(text::kBootEntered, kLong)) << ErrText(cli);
  cli.Signal(SIGHUP);
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_EQ(exit.ShellStatus(), 129);
  EXPECT_EQ(CountCommand(serial_->Frames(), CMD_ERASE), 0u);
  ASSERT_EQ(cli.ErrLines().size(), 1u) << ErrText(cli);
  EXPECT_NE(cli.ErrLines()[0].find("(SIGHUP) before the erase"), std::string::npos) << ErrText(cli);
}

// A second Ctrl-C does not wait for the frame boundary.
TEST_F(CliInterrupt, SecondCtrlCEndsAtOnce) {
  StartSerial([](BootLoaderModel &model) { model.FailCommand(CMD_ERASE, ReplyFault{.delay = milliseconds(2800)}); });
  const e2e::ImageFile image(2000);
  CliProcess cli({"--lang", "en", "upgrade", "--link", "serial", "--port", "COM7", "--json", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(WaitForFrame(*serial_, CMD_ERASE, kLong));
  cli.Signal(SIGINT);  // the first waits for the erase's reply, and says so at once
  ASSERT_TRUE(cli.WaitForErrLine("Ctrl-C again to quit now", milliseconds(1500)));
  const auto second = steady_clock::now();
  cli.Signal(SIGINT);
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - second).count(), 1500);
  EXPECT_TRUE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 130);
  for (const std::string &line : cli.OutLines()) EXPECT_EQ(line.find(text::kEraseDone), std::string::npos);
  // The answer to the first, then what state the printer is in.
  ASSERT_EQ(cli.ErrLines().size(), 2u) << ErrText(cli);
  EXPECT_EQ(cli.ErrLines()[0], "velloran-cli: stopping after the printer answers the frame on its way, at most 3 s; "
                               "Ctrl-C again to quit now");
  EXPECT_NE(cli.ErrLines()[1].find("after the erase began: the printer's flash is erased"), std::string::npos)
      << ErrText(cli);
}

// The highest packet number of the "第N包数据发送成功！" lines.
uint32_t LastPacketReported(const std::vector<std::string> &lines) {
  uint32_t last = 0;
  for (const std::string &line : lines) {
    unsigned number = 0;
    const size_t at = line.find("第");
    if (at != std::string::npos && std::sscanf(line.c_str() + at, "第%u包", &number) == 1) last = number;
  }
  return last;
}

// SIGTERM while the data frames go out back to back on the parallel port:
// the frame being written is finished and reported, no other follows. (The
// printer reads behind the port's buffer, so it is the tool's own lines that
// tell which frames it wrote.)
TEST_F(CliInterrupt, TerminationDuringTheDataStopsAtAFrameBoundary) {
  StartLpt();
  const e2e::ImageFile image(400 * 512);
  CliProcess cli({"--lang", "en", "upgrade", "--link", "lpt", "--json", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitForLine("第3包数据发送成功！", kLong)) << ErrText(cli);
  cli.Signal(SIGTERM);
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_TRUE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 143);
  std::this_thread::sleep_for(milliseconds(200));
  const uint32_t reported = LastPacketReported(cli.OutLines());
  EXPECT_EQ(CountCommand(lpt_->Frames(), CMD_DATA), reported);
  EXPECT_LT(reported, 200u);
  EXPECT_EQ(CountCommand(lpt_->Frames(), CMD_FINISH), 0u);
  ExpectOnlyWholeFrames(*lpt_);
  // No failure line of a frame that was never sent.
  for (const std::string &line : cli.OutLines()) EXPECT_EQ(line.find(text::kLptSendFailed), std::string::npos);
  const std::vector<Json> events = Events(cli);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["reason"], "terminated");
  EXPECT_EQ(events.back()["printer"], "flash_written");
  ASSERT_EQ(cli.ErrLines().size(), 1u) << ErrText(cli);
  EXPECT_NE(cli.ErrLines()[0].find("by SIGTERM after the erase began"), std::string::npos);
}

// The reader of the output goes away (as `| head` does) during the packets:
// the output is dropped and the upgrade runs to its end with its own status.
TEST_F(CliInterrupt, ClosedOutputAfterTheEraseLetsTheUpgradeFinish) {
  StartLpt();
  const e2e::ImageFile image(400 * 512);
  CliProcess cli({"--lang", "en", "upgrade", "--link", "lpt", "--json", image.Path()});
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitForLine("第2包数据发送成功！", kLong)) << ErrText(cli);
  cli.CloseOutput();
  const CliProcess::Exit exit = cli.Finish(kLong);

  EXPECT_FALSE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 0);
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_EQ(CountCommand(lpt_->Frames(), CMD_DATA), 400u);
  EXPECT_EQ(CountCommand(lpt_->Frames(), CMD_FINISH), 1u);
  ExpectOnlyWholeFrames(*lpt_);
  EXPECT_TRUE(cli.ErrLines().empty()) << ErrText(cli);
}

}  // namespace
}  // namespace velloran::cli
