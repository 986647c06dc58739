// The USB pipe on fake usblp trees whose device nodes are pseudo-terminals.
#include "corvalink.h"
#include "fake_usb_tree.h"
#include "pty_pair.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using velloran::testing::FakeUsbTree;
using velloran::testing::MillisecondsOf;
using velloran::testing::PtyPair;

// True when the port is the printer behind this pseudo-terminal.
bool Reaches(HANDLE port, const PtyPair &pty) {
  DWORD written = 0;
  if (!WriteUsb(port, "hi", 2, &written) || written != 2) return false;
  return pty.Read(2, std::chrono::seconds(2)) == std::vector<unsigned char>{'h', 'i'};
}

TEST(UsbOpen, NoPrinterPresentGivesMinusOne) {
  FakeUsbTree tree;
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);
}

TEST(UsbOpen, APrinterOfAnotherVendorIsNotOpened) {
  FakeUsbTree tree;
  PtyPair pty;
  tree.AddPrinter(0, "04b8", pty.slave_path());
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);
}

TEST(UsbOpen, VendorIdsMatchInCapitalsAndInLowerCase) {
  for (const char *vendor : {"067B", "067b", "1fc9", "1FC9", "0416"}) {
    FakeUsbTree tree;
    PtyPair pty;
    tree.AddPrinter(0, vendor, pty.slave_path());
    HANDLE port = OpenUsb();
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << vendor;
    EXPECT_TRUE(Reaches(port, pty)) << vendor;
    EXPECT_NE(CloseUsb(port), 0);
  }
}

TEST(UsbOpen, ARegularFileWhereTheNodeShouldBeIsNotOpenedNorWritten) {
  FakeUsbTree tree;
  const std::filesystem::path file = tree.root() / "not-a-printer";
  std::ofstream(file) << "keep me";
  tree.AddPrinter(0, "067b", file.string());
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);
  std::ifstream in(file);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "keep me");
}

TEST(UsbOpen, AMatchingPrinterAtIndexTwentyIsNeverFound) {
  FakeUsbTree tree;
  PtyPair other, printer;
  for (unsigned n = 0; n < 20; ++n) tree.AddPrinter(n, "04b8", other.slave_path());
  tree.AddPrinter(20, "067b", printer.slave_path());
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);
}

TEST(UsbOpen, InterfacesThatAreNotActiveArePassedOver) {
  FakeUsbTree tree;
  PtyPair printer;
  tree.AddUnpluggedPrinter(0);
  tree.AddPrinter(1, "067b", "");  // no device node (yet)
  tree.AddPrinter(2, "067b", printer.slave_path());
  HANDLE port = OpenUsb();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Reaches(port, printer));
  CloseUsb(port);
}

TEST(UsbOpen, OfTwoPrintersTheLowerIndexIsTakenAndWhenHeldTheOtherIsNotTried) {
  FakeUsbTree tree;
  PtyPair first, second;
  // Index order is numeric: lp2 comes before lp10.
  tree.AddPrinter(10, "0483", second.slave_path());
  tree.AddPrinter(2, "0471", first.slave_path());
  HANDLE port = OpenUsb();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Reaches(port, first));
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);
  EXPECT_NE(CloseUsb(port), 0);
  HANDLE again = OpenUsb();
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Reaches(again, first));
  CloseUsb(again);
}

TEST(UsbOpen, AChosenPortPathKeepsEveryOpenOnThatPrinterAcrossReEnumeration) {
  FakeUsbTree tree;
  PtyPair other, chosen;
  tree.AddPrinter(0, "067b", other.slave_path());   // port path 0-1, found first without a choice
  tree.AddPrinter(1, "067b", chosen.slave_path());  // port path 1-1
  setenv("VELLORAN_USB_PRINTER", "1-1", 1);
  const auto opensChosen = [&] {
    HANDLE port = OpenUsb();
    const bool reached = port != INVALID_HANDLE_VALUE && Reaches(port, chosen);
    CloseUsb(port);
    return reached;
  };
  EXPECT_TRUE(opensChosen());
  tree.Reenumerate(1, 5, chosen.slave_path());
  EXPECT_TRUE(opensChosen());
  tree.Remove(5);
  EXPECT_EQ(OpenUsb(), INVALID_HANDLE_VALUE);  // the other printer is not taken instead
  unsetenv("VELLORAN_USB_PRINTER");
  HANDLE port = OpenUsb();
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Reaches(port, other));
  CloseUsb(port);
}

class UsbPort : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.AddPrinter(0, "1cbe", pty_.slave_path());
    port_ = OpenUsb();
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) CloseUsb(port_);
  }
  FakeUsbTree tree_;
  PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(UsbPort, AQuietReadReturnsEmptyWithinTwoHundredMilliseconds) {
  unsigned char buffer[12];
  DWORD read = 99;
  int result = -1;
  long long ms = MillisecondsOf([&] { result = ReadUsb(port_, buffer, sizeof buffer, &read); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(read, 0u);
  EXPECT_LE(ms, 200 + 100);  // the bound, with room for a loaded machine
}

TEST_F(UsbPort, AReadDeliversAReplyThatArrives) {
  pty_.Write({0x1E, 0x12, 0x55, 0x00, 0x06, 0x00, 0x02, 0x40, 0x09});
  unsigned char buffer[12];
  DWORD read = 0;
  ASSERT_EQ(ReadUsb(port_, buffer, 9, &read), 1);
  EXPECT_EQ(read, 9u);
  EXPECT_EQ(buffer[4], 0x06);
}

TEST_F(UsbPort, AWriteKeepsUnreadInput) {
  pty_.Write({'r', 'e', 'p'});
  usleep(50000);
  DWORD written = 0;
  ASSERT_EQ(WriteUsb(port_, "x", 1, &written), 1);
  char buffer[8];
  DWORD read = 0;
  ASSERT_EQ(ReadUsb(port_, buffer, 3, &read), 1);
  EXPECT_EQ(std::string(buffer, read), "rep");
}

TEST(UsbNoPort, CallsOnMinusOneDoNothing) {
  char buffer[4];
  DWORD count = 77;
  EXPECT_EQ(WriteUsb(INVALID_HANDLE_VALUE, "x", 1, &count), 0);
  EXPECT_EQ(ReadUsb(INVALID_HANDLE_VALUE, buffer, sizeof buffer, &count), 0);
  EXPECT_EQ(count, 77u);
  EXPECT_EQ(CloseUsb(INVALID_HANDLE_VALUE), 0);
}

}  // namespace
