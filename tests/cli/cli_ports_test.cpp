// velloran-cli ports on fake trees: serial ports, USB printers (node,
// vendor:product, maker, product, serial number, whether the vendor filter
// accepts each, which one the USB upgrade picks) and parallel ports, free or
// busy, as text and as JSON. The nodes are pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_run.h"
#include "commands.h"
#include "json_output.h"
#include "e2e_support.h"
#include "../transport/fake_usb_tree.h"
#include "../transport/pty_pair.h"
#include "win32_comm.h"

namespace velloran::cli {
namespace {

using test::CliRun;
using test::RunArgs;

class CliPortsListing : public ::testing::Test {
 protected:
  void SetUp() override {
    // lp0: a maker the filter does not know; lp1: accepted, so the upgrade
    // picks it; lp2: accepted too, but after lp1; lp3: unplugged.
    tree_.AddPrinter(0, "1234", printer0_.slave_path(), "0001");
    tree_.AddPrinter(1, "067b", printer1_.slave_path(), "2305");
    tree_.SetStrings(1, "Velloran", "Receipt printer", "SN0042");
    tree_.AddPrinter(2, "0483", printer2_.slave_path(), "5740");
    tree_.AddUnpluggedPrinter(3);
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM40=" + serial_.slave_path() + ";LPT2=" + parallel_.slave_path() +
                                                   ";LPT1=/dev/lpVELLORAN-none");
  }

  testing::FakeUsbTree tree_;
  testing::PtyPair printer0_, printer1_, printer2_, serial_, parallel_;
};

TEST_F(CliPortsListing, TextNamesEveryPortAndThePrinterTheUpgradeUses) {
  const CliRun run = RunArgs({"ports"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const std::string usbNode = (tree_.root() / "dev/usb/lp1").string();
  EXPECT_NE(run.out.find("COM40    " + serial_.slave_path()), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("USB      " + usbNode + " free, a supported maker; the USB upgrade uses this one\n"
                         "         067b:2305  Velloran  Receipt printer  serial SN0042\n"
                         "         \\\\\\\\?\\\\usb#vid_067b&pid_2305#lp1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\n"
                         "         id SN0042, port path 1-1\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("lp0 free, a maker --link usb does not look for\n         1234:0001\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("lp2 free, a supported maker\n         0483:5740\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("LPT2     " + parallel_.slave_path()), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("LPT1"), std::string::npos) << run.out;
}

TEST_F(CliPortsListing, JsonCarriesTheSameWithBusyPorts) {
  // Held by this process: held to the listing of another.
  HANDLE held = CreateFileA("LPT2", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const CliRun run = RunArgs({"ports", "--json"});
  CloseHandle(held);
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const Json listing = Json::parse(run.out);

  bool serialFound = false;
  for (const auto &port : listing.at("serial")) {
    if (port.at("name") == "COM40") {
      serialFound = true;
      EXPECT_EQ(port.at("node"), serial_.slave_path());
      EXPECT_EQ(port.at("state"), "free");
    }
  }
  EXPECT_TRUE(serialFound) << run.out;

  const auto &usb = listing.at("usb");
  ASSERT_EQ(usb.size(), 3u) << run.out;  // the unplugged one is not present
  EXPECT_EQ(usb[0].at("vendor_id"), "1234");
  EXPECT_EQ(usb[0].at("accepted"), false);
  EXPECT_EQ(usb[0].at("chosen"), false);
  EXPECT_EQ(usb[1].at("node"), (tree_.root() / "dev/usb/lp1").string());
  EXPECT_EQ(usb[1].at("vendor_id"), "067b");
  EXPECT_EQ(usb[1].at("product_id"), "2305");
  EXPECT_EQ(usb[1].at("manufacturer"), "Velloran");
  EXPECT_EQ(usb[1].at("product"), "Receipt printer");
  EXPECT_EQ(usb[1].at("serial_number"), "SN0042");
  EXPECT_EQ(usb[1].at("accepted"), true);
  EXPECT_EQ(usb[1].at("chosen"), true);
  EXPECT_EQ(usb[1].at("state"), "free");
  EXPECT_EQ(usb[2].at("accepted"), true);
  EXPECT_EQ(usb[2].at("chosen"), false);
  // The ids --port takes: the unique serial number, else the port path.
  EXPECT_EQ(usb[1].at("id"), "SN0042");
  EXPECT_EQ(usb[1].at("port_path"), "1-1");
  EXPECT_EQ(usb[2].at("id"), "2-1");

  const auto &parallel = listing.at("parallel");
  ASSERT_EQ(parallel.size(), 1u) << run.out;
  EXPECT_EQ(parallel[0].at("name"), "LPT2");
  EXPECT_EQ(parallel[0].at("id"), "LPT2");
  EXPECT_EQ(parallel[0].at("state"), "held");
}

// The USB upgrade names the printer it picks, and says why it cannot use it.
TEST_F(CliPortsListing, UsbUpgradeNamesItsPrinterOrWhyNot) {
  HANDLE held = CreateFileA((tree_.root() / "dev/usb/lp1").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const e2e::ImageFile image(700);
  const CliRun run = RunArgs({"upgrade", "--link", "usb", image.Path()});
  CloseHandle(held);
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("USB 067b:2305 SN0042 (" + (tree_.root() / "dev/usb/lp1").string() +
                         ") cannot be opened: another program holds it"),
            std::string::npos)
      << run.err;
}

TEST(CliPortsWithoutPrinters, UsbUpgradeSaysNoneIsAttached) {
  testing::FakeUsbTree tree;
  tree.AddPrinter(0, "1234", "/dev/null");
  const e2e::ImageFile image(700);
  const CliRun run = RunArgs({"upgrade", "--link", "usb", image.Path()});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("no attached USB printer is of a supported maker"), std::string::npos) << run.err;
}

// A list of USB printers that cannot be read is no empty list: ports (text
// and JSON) and the USB upgrade fail and give the system's own words.
TEST(CliPortsWithoutPrinters, UnreadableUsbListIsAnErrorWithItsCause) {
  testing::FakeUsbTree tree;
  std::filesystem::remove_all(tree.root() / "sys/class/usbmisc");
  std::ofstream(tree.root() / "sys/class/usbmisc") << "not a folder\n";
  const e2e::ImageFile image(700);
  const std::string cause = "the system's list of USB printers cannot be read (error 31: Not a directory)";
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"--lang", "en", "ports"}, {"--lang", "en", "ports", "--json"},
        {"--lang", "en", "upgrade", "--link", "usb", image.Path()}}) {
    const CliRun run = RunArgs(args);
    EXPECT_EQ(run.status, kExitFailed) << args.back();
    EXPECT_NE((run.out + run.err).find(cause), std::string::npos) << run.out << run.err;
    if (args.back() == "--json") {
      EXPECT_NE(run.out.find("\"usb_error\":\"" + cause), std::string::npos) << run.out;
    }
  }
}

}  // namespace
}  // namespace velloran::cli
