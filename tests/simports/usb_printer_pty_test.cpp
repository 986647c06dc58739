// The USB printer: the fake usblp tree that the tool's USB enumeration
// reads, and a printer behind its node that answers at any line speed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frame.h"
#include "host_port.h"
#include "usb_printer.h"

namespace velloran::sim {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using test::Frame;
using test::HostPort;
using test::Reply;

std::string FirstWord(const fs::path &file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

TEST(UsbPrinter, BuildsTheTreeTheEnumerationReads) {
  UsbPrinterOptions options;
  options.vendorId = 0x1FC9;
  options.productId = 0x00AB;
  options.minor = 3;
  UsbPrinter printer(options);
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  const fs::path sys = printer.SysfsRoot();
  const fs::path dev = printer.DevRoot();
  EXPECT_EQ(sys.parent_path(), dev.parent_path());

  // $SYSFS/class/usbmisc/lp3, its `device` link the interface, whose parent
  // holds the ids as the kernel writes them.
  const fs::path classDevice = sys / "class/usbmisc/lp3";
  ASSERT_TRUE(fs::is_directory(classDevice));
  ASSERT_TRUE(fs::is_symlink(classDevice / "device"));
  const fs::path interface = fs::canonical(classDevice / "device");
  EXPECT_EQ(interface.filename(), "1-1:1.0");
  EXPECT_EQ(FirstWord(interface.parent_path() / "idVendor"), "1fc9");
  EXPECT_EQ(FirstWord(interface.parent_path() / "idProduct"), "00ab");
  EXPECT_EQ(FirstWord(interface / "bInterfaceClass"), "07");
  EXPECT_EQ(fs::canonical(interface / "driver").filename(), "usblp");
  // The node is the pseudo-terminal.
  EXPECT_EQ(printer.NodePath(), dev / "usb/lp3");
  EXPECT_EQ(fs::canonical(printer.NodePath()), fs::canonical(printer.SlavePath()));
  // Nothing of the tree points outside it but the node.
  for (const auto &entry : fs::recursive_directory_iterator(sys))
    if (entry.is_symlink()) {
      const auto target = fs::weakly_canonical(entry.path());
      EXPECT_EQ(target.string().rfind(fs::canonical(sys).string(), 0), 0u) << entry.path();
    }

  const fs::path root = sys.parent_path();
  printer.Stop();
  EXPECT_FALSE(fs::exists(root));
}

TEST(UsbPrinter, EachPrinterHasATreeOfItsOwnAndAnUnboundOneHasNoDriver) {
  UsbPrinter first;
  UsbPrinterOptions unbound;
  unbound.bound = false;
  UsbPrinter second(unbound);
  std::string error;
  ASSERT_TRUE(first.Start(&error)) << error;
  ASSERT_TRUE(second.Start(&error)) << error;
  EXPECT_NE(first.SysfsRoot(), second.SysfsRoot());
  EXPECT_EQ(FirstWord(fs::canonical(first.SysfsRoot() / "class/usbmisc/lp0/device").parent_path() / "idVendor"),
            "067b");
  EXPECT_TRUE(fs::exists(first.SysfsRoot() / "class/usbmisc/lp0/device/driver"));
  EXPECT_FALSE(fs::exists(second.SysfsRoot() / "class/usbmisc/lp0/device/driver"));
}

TEST(UsbPrinter, AnswersAtAnyLineSpeedAndAcrossReopens) {
  UsbPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  for (unsigned baud : {4800u, 115200u}) {
    HostPort host(printer.NodePath().string());
    ASSERT_TRUE(host.IsOpen());
    ASSERT_TRUE(host.SetBaudRate(baud));
    ASSERT_TRUE(host.Write(Frame(CMD_ENTER_BOOT)));
    EXPECT_EQ(host.Read(12, milliseconds(2000)), Reply(ST_BOOT_ENTERED, {0x00, 0x02, 0x00})) << baud;
  }
  EXPECT_EQ(printer.Counters().bootEntries, 2u);
}

TEST(UsbPrinter, ReportsEachFrameAfterItsReply) {
  UsbPrinter printer;
  std::vector<ReceivedFrame> heard;
  std::mutex lock;
  printer.SetFrameListener([&](const ReceivedFrame &frame) {
    std::lock_guard guard(lock);
    heard.push_back(frame);
  });
  ReplyFault mismatch;
  mismatch.status = ST_VERSION_MISMATCH;
  printer.WithModel([&](BootLoaderModel &model) { model.FailCommand(CMD_VERSION, mismatch); });
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  HostPort host(printer.NodePath().string());
  ASSERT_TRUE(host.Write(Frame(CMD_ENTER_BOOT)));
  ASSERT_EQ(host.Read(12, milliseconds(2000)).size(), 12u);
  ASSERT_TRUE(host.Write(Frame(CMD_VERSION, {0x12, 0x34})));
  EXPECT_EQ(host.Read(11, milliseconds(2000)), Reply(ST_VERSION_MISMATCH, {0x12, 0x34}));
  printer.Stop();
  std::lock_guard guard(lock);
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1].command, CMD_VERSION);
  EXPECT_TRUE(heard[1].answered);
  EXPECT_EQ(heard[1].replyStatus, ST_VERSION_MISMATCH);
}

}  // namespace
}  // namespace velloran::sim
