// velloran-cli's upgrade command from its command line to its exit status,
// against the simulated parallel-port printer and with ports that fail.
#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"
#include "port_choice.h"
#include "e2e_support.h"
#include "lpt_printer.h"
#include "serial_printer.h"
#include "usb_printer.h"
#include "win32_comm.h"

namespace velloran::cli {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun RunArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "velloran-cli");
  std::vector<char *> argv;
  for (auto &arg : args) argv.push_back(arg.data());
  std::ostringstream out, err;
  const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
  return {status, out.str(), err.str()};
}

std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(CliUpgrade, ParallelPortUpgradeInJsonExitsWithZero) {
  sim::LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer.SlavePath());
  const e2e::ImageFile image(700);

  const CliRun run = RunArgs({"upgrade", "--link", "lpt", "--json", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const auto lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 3u);
  for (const std::string &line : lines) EXPECT_EQ(line.rfind("{\"event\":", 0), 0u) << line;
  EXPECT_NE(lines[0].find("\"code\":0,\"ms\":"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[lines.size() - 2], "{\"event\":\"message\",\"text\":\"Upgrade Complete！！\"}");
  EXPECT_EQ(lines.back(), "{\"event\":\"result\",\"ok\":true}");
  EXPECT_TRUE(run.err.empty());
  printer.Stop();
}

TEST(CliUpgrade, BadImageExitsWithOne) {
  sim::LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer.SlavePath());

  const e2e::FifoImage fifo;
  for (const std::string &image : {e2e::MissingImagePath(), fifo.Path()}) {
    const CliRun run = RunArgs({"upgrade", "--link", "lpt", image});
    EXPECT_EQ(run.status, kExitFailed);
    const auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_NE(lines[0].find("固件文件"), std::string::npos);
    EXPECT_EQ(lines[1].rfind(">>> Image Load Failed: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "Upgrade failed.");
  }
  EXPECT_EQ(printer.BytesRead(), 0u);
  printer.Stop();
}

TEST(CliInfo, NamesTheCauseOfAnImageThatCannotBeLoaded) {
  const e2e::FifoImage fifo;  // without a writer: must not wait for one
  const std::pair<std::string, std::string> cases[] = {
      {fifo.Path(), "not a regular file"},
      {"/dev/zero", "not a regular file"},
      {e2e::MissingImagePath(), "no such file"},
  };
  for (const auto &[image, cause] : cases) {
    const CliRun run = RunArgs({"info", image});
    EXPECT_EQ(run.status, kExitFailed) << image;
    EXPECT_NE(run.err.find(image + ": " + cause + " ("), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
}

TEST(CliUpgrade, PortThatCannotBeOpenedIsExplained) {
  // A serial port whose node is missing, and one that the user may not open.
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM9=/nonexistent/ttyVELLORAN;COM10=/proc/version");
  const e2e::ImageFile image(700);
  CliRun run = RunArgs({"upgrade", "--link", "serial", "--port", "COM9", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("COM9 does not exist"), std::string::npos) << run.err;
  EXPECT_TRUE(run.out.empty());

  run = RunArgs({"upgrade", "--link", "serial", "--port", "/nowhere/tty", image.Path()});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("VELLORAN_DEVICE_MAP"), std::string::npos) << run.err;

  run = RunArgs({"info", image.Path()});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_NE(run.out.find("version:  01 02"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("packets:  2 of 512 bytes"), std::string::npos) << run.out;
}

// A simulated serial printer named COM200: listed as free, then as busy while
// held; its node names it for --port.
TEST(CliPorts, ListsFreeAndBusyPortsWithTheirNodes) {
  sim::SerialPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM200=" + printer.SlavePath());
  EXPECT_EQ(ParsePortArgument(printer.SlavePath()).number, 200u);

  CliRun run = RunArgs({"ports"});
  EXPECT_EQ(run.status, kExitOk);
  const std::string free = "COM200   " + printer.SlavePath();
  EXPECT_NE(run.out.find(free), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" free\n", run.out.find(free)), std::string::npos) << run.out;

  HANDLE held = CreateFileA("COM200", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  run = RunArgs({"ports"});
  EXPECT_NE(run.out.find(" busy", run.out.find(free)), std::string::npos) << run.out;
  const e2e::ImageFile image(700);
  run = RunArgs({"upgrade", "--link", "serial", "--port", "COM200", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("another program holds it"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("dialout"), std::string::npos) << run.err;
  CloseHandle(held);
  printer.Stop();
}

// `ports` lists the parallel ports and the USB printers beside the COM ports,
// with their nodes, and says which USB printer makers the upgrade looks for.
TEST(CliPorts, ListsParallelPortsAndUsbPrinters) {
  sim::LptPrinter lpt;
  sim::UsbPrinter supported(sim::UsbPrinterOptions{0x0483, 0x5740, 3, true, {}});
  std::string error;
  ASSERT_TRUE(lpt.Start(&error)) << error;
  ASSERT_TRUE(supported.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + lpt.SlavePath());
  e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", supported.SysfsRoot().string());
  e2e::SetEnvironment("VELLORAN_DEV_ROOT", supported.DevRoot().string());
  CliRun run = RunArgs({"ports"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_NE(run.out.find("LPT1     " + lpt.SlavePath()), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("USB      " + supported.NodePath().string() + " free, a supported maker"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\\\\?\\usb#vid_0483&pid_5740#lp3#"), std::string::npos) << run.out;
  supported.Stop();

  sim::UsbPrinter other(sim::UsbPrinterOptions{0x1234, 0x5678, 0, true, {}});
  ASSERT_TRUE(other.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", other.SysfsRoot().string());
  e2e::SetEnvironment("VELLORAN_DEV_ROOT", other.DevRoot().string());
  run = RunArgs({"ports"});
  EXPECT_NE(run.out.find("USB      " + other.NodePath().string() + " free, a maker --link usb does not look for"),
            std::string::npos)
      << run.out;
  other.Stop();
  lpt.Stop();
  unsetenv("VELLORAN_SYSFS_ROOT");
  unsetenv("VELLORAN_DEV_ROOT");
  unsetenv("VELLORAN_DEVICE_MAP");
}

}  // namespace
}  // namespace velloran::cli
