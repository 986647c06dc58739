// velloran-cli's upgrade command from its command line to its exit status,
// against the simulated parallel-port printer and with ports that fail.
#include <gtest/gtest.h>

#include <sstream>

#include "json_output.h"

#include "cli_run.h"
#include "commands.h"
#include "port_choice.h"
#include "device_names.h"
#include "e2e_support.h"
#include "lpt_printer.h"
#include "serial_printer.h"
#include "usb_printer.h"
#include "win32_comm.h"

namespace velloran::cli {
namespace {

sim::UsbPrinterOptions UsbOptions(uint16_t vendor, uint16_t product, unsigned minor) {
  sim::UsbPrinterOptions options;
  options.vendorId = vendor;
  options.productId = product;
  options.minor = minor;
  return options;
}


using test::CliRun;
using test::RunArgs;
using test::SplitLines;

TEST(CliUpgrade, ParallelPortUpgradeInJsonExitsWithZero) {
  sim::LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer.SlavePath());
  const e2e::ImageFile image(700);

  const CliRun run = RunArgs({"upgrade", "--link", "lpt", "--json", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const auto lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 4u);
  std::vector<Json> events;
  for (const std::string &line : lines) events.push_back(Json::parse(line));
  // The summary comes before the first frame.
  EXPECT_EQ(events[0]["event"], "summary");
  EXPECT_EQ(events[0]["size"], 700);
  EXPECT_EQ(events[0]["version"], "01 02");
  EXPECT_EQ(events[0]["packets"], 2);
  // Then the port and its node.
  EXPECT_EQ(events[1]["event"], "note");
  EXPECT_EQ(events[1]["id"], "port_used");
  EXPECT_EQ(events[1]["en"], "Port: LPT1 (" + printer.SlavePath() + ")");
  EXPECT_EQ(events[2]["event"], "status");
  EXPECT_EQ(events[2]["code"], 0);
  EXPECT_EQ(events[2]["phase"], "boot");
  EXPECT_EQ(events[2]["port"], "LPT1");
  const Json &box = events[events.size() - 2];
  EXPECT_EQ(box["event"], "message");
  EXPECT_EQ(box["text"], "Upgrade Complete！！");
  const Json &result = events.back();
  EXPECT_EQ(result["event"], "result");
  EXPECT_EQ(result["ok"], true);
  EXPECT_TRUE(result["reason"].is_null());
  EXPECT_EQ(result["id"], "lpt_frames_written");
  EXPECT_EQ(result["bytes_sent"], 1024);
  EXPECT_NE(result["en"].get<std::string>().find("cannot confirm that the printer accepted them"),
            std::string::npos);
  EXPECT_TRUE(run.err.empty());
  printer.Stop();
}

// The status lines in the locale's language: the exact Chinese texts under
// a Chinese locale, English under another; --lang decides over both.
TEST(CliUpgrade, StatusLinesInTheLocalesLanguage) {
  sim::LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer.SlavePath());
  e2e::SetEnvironment("LC_ALL", "");
  e2e::SetEnvironment("LC_MESSAGES", "");
  const e2e::ImageFile image(700);

  e2e::SetEnvironment("LANG", "zh_CN.UTF-8");
  CliRun run = RunArgs({"upgrade", "--link", "lpt", "-v", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("  0  准备切换至boot模式，请稍等！\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("200  升级完成！！！\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("并口无法确认"), std::string::npos) << run.out;

  e2e::SetEnvironment("LANG", "en_US.UTF-8");
  run = RunArgs({"upgrade", "--link", "lpt", "-v", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const auto lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Image " + image.Path() + ": 700 bytes, version 01 02, 2 packets of 512 bytes");
  EXPECT_NE(run.out.find("  0  Switching the printer to boot mode, please wait\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Packet 2 sent"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("升级"), std::string::npos) << run.out;
  EXPECT_EQ(lines.back().rfind("Wrote 1024 bytes in ", 0), 0u) << lines.back();
  EXPECT_NE(lines.back().find("the parallel link cannot confirm that the printer accepted them"),
            std::string::npos);

  run = RunArgs({"--lang", "zh", "upgrade", "--link", "lpt", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("已通过并口写入1024字节"), std::string::npos) << run.out;
  printer.Stop();
}

TEST(CliUpgrade, BadImageExitsWithOne) {
  sim::LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "LPT1=" + printer.SlavePath());

  const e2e::FifoImage fifo;
  for (const std::string &image : {e2e::MissingImagePath(), fifo.Path()}) {
    CliRun run = RunArgs({"upgrade", "--lang", "zh", "--link", "lpt", image});
    EXPECT_EQ(run.status, kExitFailed);
    auto lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], "端口：LPT1 (" + printer.SlavePath() + ")");
    EXPECT_EQ(lines[1].find("固件文件"), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind(">>> Image Load Failed: ", 0), 0u) << lines[2];
    // The first failure is the reason.
    EXPECT_EQ(lines[3], "升级失败，未与打印机通信：" + lines[1]);
    run = RunArgs({"upgrade", "--lang", "en", "--link", "lpt", image});
    lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[2].rfind(">>> The image file cannot be loaded: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Upgrade failed before the printer was contacted: The image file ", 0), 0u)
        << lines[3];
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

// An image of 10 full packets and a short one of 100 bytes: each language,
// and JSON.
TEST(CliInfo, DescribesTheImageInTheReadersLanguageOrJson) {
  const e2e::ImageFile image(10 * 512 + 100);
  CliRun run = RunArgs({"info", "--lang", "en", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("packets:  11 of 512 bytes (10 full; the last one 100 bytes of data and 412 of zero fill)"),
            std::string::npos)
      << run.out;
  run = RunArgs({"info", "--lang", "zh", image.Path()});
  EXPECT_NE(run.out.find("分包：11包，每包512字节（10包满包；最后一包100字节数据，另补412字节零）"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("bytes"), std::string::npos) << run.out;
  run = RunArgs({"info", "--json", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.out;
  const Json info = Json::parse(run.out);
  EXPECT_EQ(info["packets"], 11);
  EXPECT_EQ(info["last_packet_data"], 100);
  EXPECT_EQ(info["serial"].size(), 6u);
  EXPECT_EQ(info["sha256"].get<std::string>().size(), 64u);
  run = RunArgs({"info", "--json", e2e::MissingImagePath()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(Json::parse(run.out)["reason"], "image_missing");
}

TEST(CliUpgrade, PortThatCannotBeOpenedIsExplained) {
  // A serial port whose node is missing, and one that the user may not open.
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM9=/nonexistent/ttyVELLORAN;COM10=/proc/version");
  const e2e::ImageFile image(700);
  CliRun run = RunArgs({"upgrade", "--lang", "en", "--link", "serial", "--port", "COM9", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("COM9 does not exist (no device node /nonexistent/ttyVELLORAN)"), std::string::npos)
      << run.err;
  // The image was announced before the port was tried.
  EXPECT_NE(run.out.find("version 01 02, 2 packets of 512 bytes"), std::string::npos) << run.out;

  // A node that is there but is no device: named, not denied.
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM10=/proc/version;COM11=" + image.Path());
  run = RunArgs({"upgrade", "--lang", "en", "--link", "serial", "--port", "COM11", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("COM11 (" + image.Path() + ") is not a device"), std::string::npos) << run.err;

  run = RunArgs({"upgrade", "--lang", "en", "--link", "serial", "--port", "COM10", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("COM10 (/proc/version) is not a device"), std::string::npos) << run.err;

  // Any node is taken; one that is not there is an environment failure.
  run = RunArgs({"upgrade", "--lang", "en", "--link", "serial", "--port", "/nowhere/tty", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("/nowhere/tty does not exist"), std::string::npos) << run.err;

  run = RunArgs({"info", image.Path()});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_NE(run.out.find("version:  01 02"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("packets:  2 of 512 bytes"), std::string::npos) << run.out;
}

// A simulated serial printer named COM200: listed as free, then as held while
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
  EXPECT_NE(run.out.find(" held by ", run.out.find(free)), std::string::npos) << run.out;
  const e2e::ImageFile image(700);
  run = RunArgs({"upgrade", "--lang", "en", "--link", "serial", "--port", "COM200", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("COM200 (" + printer.SlavePath() + ") cannot be opened: another program holds it"),
            std::string::npos)
      << run.err;
  CloseHandle(held);
  printer.Stop();
}

// `ports` lists the parallel ports and the USB printers beside the COM ports,
// with their nodes, and says which USB printer makers the upgrade looks for.
TEST(CliPorts, ListsParallelPortsAndUsbPrinters) {
  sim::LptPrinter lpt;
  sim::UsbPrinter supported(UsbOptions(0x0483, 0x5740, 3));
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
  EXPECT_NE(run.out.find("\\\\\\\\?\\\\usb#vid_0483&pid_5740#lp3#"), std::string::npos) << run.out;
  supported.Stop();

  sim::UsbPrinter other(UsbOptions(0x1234, 0x5678, 0));
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

// A supported USB printer that another program holds: the message names the
// printer and its node, and says it is held (not a matter of permission).
TEST(CliUpgrade, UsbPrinterHeldElsewhereIsNamedWithItsNodesGroup) {
  sim::UsbPrinter printer(UsbOptions(0x067B, 0x2305, 2));
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", printer.SysfsRoot().string());
  e2e::SetEnvironment("VELLORAN_DEV_ROOT", printer.DevRoot().string());
  const std::string node = printer.NodePath().string();
  HANDLE holder = CreateFileA(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const e2e::ImageFile image(700);

  const CliRun run = RunArgs({"upgrade", "--lang", "en", "--link", "usb", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("USB 067b:2305 1-1 (" + node + ") cannot be opened: another program holds it"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("usermod"), std::string::npos) << run.err;
  CloseHandle(holder);
  printer.Stop();
  unsetenv("VELLORAN_SYSFS_ROOT");
  unsetenv("VELLORAN_DEV_ROOT");
}

}  // namespace
}  // namespace velloran::cli
