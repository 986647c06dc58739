// --port on the three links against a fake usblp tree: USB by id, serial
// number, port path and node, ambiguous and unknown values refused; the
// parallel port by name and node.
#include <gtest/gtest.h>

#include "printer_target.h"
#include "../transport/fake_usb_tree.h"
#include "../transport/pty_pair.h"

namespace velloran::cli {
namespace {

struct Case {
  Link link;
  std::optional<std::string> port;
  std::string id;             // expected id, empty when refused
  std::string errorId;        // expected refusal
  bool usageError = false;
};

TEST(PrinterTarget, PortValuesNameOnePrinterOrAreRefusedWithTheReason) {
  testing::FakeUsbTree tree;
  testing::PtyPair a, b, c, d;
  // Port paths 0-1 .. 3-1. lp1 and lp2 report the same serial number, so
  // their ids are their port paths; lp3's maker is not supported.
  tree.AddPrinter(0, "067b", a.slave_path());
  tree.SetStrings(0, "M", "P", "SN1");
  tree.AddPrinter(1, "067b", b.slave_path());
  tree.SetStrings(1, "M", "P", "DUP");
  tree.AddPrinter(2, "0483", c.slave_path());
  tree.SetStrings(2, "M", "P", "DUP");
  tree.AddPrinter(3, "04b8", d.slave_path());
  tree.SetStrings(3, "M", "P", "X9");
  const std::string node2 = (tree.root() / "dev/usb/lp2").string();
  setenv("VELLORAN_DEVICE_MAP", "LPT2=/dev/lp1", 1);

  const std::vector<Case> cases = {
      {Link::kUsb, std::nullopt, "SN1", ""},
      {Link::kUsb, "SN1", "SN1", ""},
      {Link::kUsb, "0-1", "SN1", ""},
      {Link::kUsb, "1-1", "1-1", ""},
      {Link::kUsb, node2, "2-1", ""},
      {Link::kUsb, "DUP", "", "usb_port_ambiguous"},
      {Link::kUsb, "SN7", "", "usb_port_unknown"},
      {Link::kUsb, "X9", "", "usb_port_unsupported"},
      {Link::kLpt, std::nullopt, "LPT1", ""},
      {Link::kLpt, "lpt3", "LPT3", ""},
      {Link::kLpt, "/dev/lp1", "LPT2", ""},
      {Link::kLpt, "LPT4", "", "bad_lpt_port", true},
      {Link::kLpt, "COM1", "", "bad_lpt_port", true},
      {Link::kLpt, "/dev/null", "", "lpt_port_unmappable"},
  };
  for (const Case &test : cases) {
    const std::string label = std::string(LinkName(test.link)) + " " + test.port.value_or("(none)");
    const TargetChoice choice = ResolvePrinterTarget(test.link, test.port);
    if (test.id.empty()) {
      ASSERT_FALSE(choice.target) << label;
      ASSERT_TRUE(choice.error) << label;
      EXPECT_EQ(choice.error->id, test.errorId) << label;
      EXPECT_EQ(choice.usageError, test.usageError) << label;
    } else {
      ASSERT_TRUE(choice.target) << label << ": " << (choice.error ? choice.error->en : "");
      EXPECT_EQ(choice.target->id, test.id) << label;
    }
  }
  // The ambiguous value names both printers.
  const std::string refusal = ResolvePrinterTarget(Link::kUsb, "DUP").error->en;
  EXPECT_NE(refusal.find("1-1"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("2-1"), std::string::npos) << refusal;
  // Without --port the others are named; the pin is the port path.
  const TargetChoice first = ResolvePrinterTarget(Link::kUsb, std::nullopt);
  EXPECT_EQ(first.othersAttached, (std::vector<std::string>{"1-1", "2-1"}));
  EXPECT_EQ(first.target->usbPortPath, "0-1");
  EXPECT_EQ(UpgradableUsbPrinterIds(), (std::vector<std::string>{"SN1", "1-1", "2-1"}));
  unsetenv("VELLORAN_DEVICE_MAP");
}

}  // namespace
}  // namespace velloran::cli
