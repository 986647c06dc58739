// velloran-cli and the other programs on its port, all real processes: a
// program that has the port open (with no lock) is named by `ports` and
// refuses the upgrade; a second velloran-cli during the first one's boot
// pause is refused with the first one's process id while the first
// completes; without --port the only serial port is used, and with several
// nothing is sent; LPT1 mapped to /dev/null is refused.
#include <gtest/gtest.h>

#include <memory>

#include "cli_process.h"
#include "e2e_support.h"
#include "json_output.h"
#include "serial_printer.h"
#include "upgrade_texts.h"

namespace velloran::cli {
namespace {

using namespace std::chrono;
using test::CliProcess;

constexpr auto kLong = milliseconds(30000);

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), {"--lang", "en"});
  CliProcess cli(std::move(args));
  EXPECT_TRUE(cli.Started());
  const CliProcess::Exit exit = cli.Finish(kLong);
  Outcome outcome{exit.ShellStatus(), {}, {}};
  for (const std::string &line : cli.OutLines()) outcome.out += line + "\n";
  for (const std::string &line : cli.ErrLines()) outcome.err += line + "\n";
  return outcome;
}

// Every COM name but those given leads nowhere.
void MapOnly(const std::string &ports) {
  std::string map;
  for (int n = 1; n <= 96; ++n) map += "COM" + std::to_string(n) + "=/dev/ttyVELLORAN-none;";
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", map + ports);
}

std::unique_ptr<sim::SerialPrinter> StartPrinter() {
  auto printer = std::make_unique<sim::SerialPrinter>(sim::SerialPrinterOptions{4800, false, std::nullopt, {}});
  std::string error;
  EXPECT_TRUE(printer->Start(&error)) << error;
  return printer;
}

// A terminal program that reads the port without any lock: sleep with the
// port as its input, as a shell would start it.
TEST(CliPortHolders, ProgramWithThePortOpenIsNamedAndRefusesTheUpgrade) {
  auto printer = StartPrinter();
  MapOnly("COM7=" + printer->SlavePath());
  // The tool's path, which CliProcess puts first, is the script's $0.
  CliProcess reader({"30"}, {"/bin/sh", "-c", "exec sleep \"$1\" < " + printer->SlavePath()});
  ASSERT_TRUE(reader.Started());
  // Until the shell has become sleep with the port open.
  const std::string held = "held by sleep (process " + std::to_string(reader.Pid()) + ")";
  Outcome ports;
  for (int i = 0; i < 100; ++i) {
    ports = RunTool({"ports"});
    if (ports.out.find(held) != std::string::npos) break;
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_NE(ports.out.find("COM7     " + printer->SlavePath()), std::string::npos) << ports.out;
  EXPECT_NE(ports.out.find(held), std::string::npos) << ports.out;
  EXPECT_EQ(ports.out.find("free"), std::string::npos) << ports.out;

  const Outcome json = RunTool({"ports", "--json"});
  const Json port = Json::parse(json.out).at("serial").at(0);
  EXPECT_EQ(port.at("state"), "held");
  EXPECT_EQ(port.at("holders").at(0).at("pid"), reader.Pid());
  EXPECT_EQ(port.at("holders").at(0).at("program"), "sleep");

  const e2e::ImageFile image(700);
  const Outcome upgrade = RunTool({"upgrade", "--link", "serial", "--port", "COM7", image.Path()});
  EXPECT_EQ(upgrade.status, 1);
  EXPECT_NE(upgrade.err.find("cannot be opened: it is " + held), std::string::npos) << upgrade.err;
  EXPECT_TRUE(printer->Frames().empty());
}

// The first upgrade holds the port through the 3 s after its boot switch,
// when its own port is closed.
TEST(CliPortHolders, SecondUpgradeInTheBootPauseIsRefusedWithTheFirstOnesProcess) {
  auto printer = StartPrinter();
  MapOnly("COM7=" + printer->SlavePath());
  const e2e::ImageFile image(700);
  CliProcess first({"--lang", "en", "upgrade", "--link", "serial", "--port", "COM7", "--json", image.Path()});
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(first.WaitForLine(text::kBootEntered, kLong));
  const auto asked = steady_clock::now();
  const Outcome second = RunTool({"upgrade", "--link", "serial", "--port", "COM7", image.Path()});
  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - asked).count(), 2500) << "not refused at once";
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("held by velloran-cli (process " + std::to_string(first.Pid()) + ")"), std::string::npos)
      << second.err;

  const CliProcess::Exit exit = first.Finish(kLong);
  EXPECT_EQ(exit.ShellStatus(), 0);
  EXPECT_TRUE(printer->Finished());
  EXPECT_EQ(printer->FlashedImage(), image.ExpectedFlash(512));
}

// Without --port: one serial port present is the port; with two, neither
// gets a frame and both are named.
TEST(CliPortHolders, WithoutPortTheOnlySerialPortIsUsedAndSeveralAreNamed) {
  auto one = StartPrinter();
  auto two = StartPrinter();
  const e2e::ImageFile image(700);
  MapOnly("COM7=" + one->SlavePath() + ";COM8=" + two->SlavePath());
  const Outcome several = RunTool({"upgrade", "--link", "serial", image.Path()});
  EXPECT_EQ(several.status, 2);
  EXPECT_NE(several.err.find("several serial ports are present (COM7, COM8); name the printer's one with --port"),
            std::string::npos)
      << several.err;
  EXPECT_TRUE(one->Frames().empty());
  EXPECT_TRUE(two->Frames().empty());

  MapOnly("COM8=" + two->SlavePath());
  const Outcome only = RunTool({"upgrade", "--link", "serial", image.Path()});
  EXPECT_EQ(only.status, 0) << only.err;
  EXPECT_NE(only.out.find("Port: COM8 (" + two->SlavePath() + ")"), std::string::npos) << only.out;
  EXPECT_TRUE(two->Finished());
}

TEST(CliPortHolders, ParallelPortMappedToAnotherDeviceIsRefused) {
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=/dev/null");
  const e2e::ImageFile image(700);
  const Outcome run = RunTool({"upgrade", "--link", "lpt", image.Path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("LPT1 (/dev/null) is not a printer port"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("Port:"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace velloran::cli
