// Two simulated USB printers in one tree: the upgrade reaches only the
// printer chosen (by --port, or the first one found), also when it
// re-enumerates after the boot switch, and no frame ever reaches the other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app_values.h"
#include "cli_run.h"
#include "e2e_support.h"
#include "procedures.h"
#include "upgrade_texts.h"
#include "usb_printer.h"
#include "usb_printer_pin.h"

namespace velloran::cli {
namespace {

using test::CliRun;
using test::RunArgs;

sim::UsbPrinterOptions InTree(const std::filesystem::path &tree, unsigned minor, const std::string &portPath,
                              const std::string &serial, std::optional<sim::UsbReenumeration> reenumeration) {
  sim::UsbPrinterOptions options;
  options.minor = minor;
  options.tree = tree;
  options.portPath = portPath;
  options.serial = serial;
  options.reenumeration = reenumeration;
  return options;
}

class TwoUsbPrinters : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velloran-two-usb-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    tree_ = pattern;
    e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", (tree_ / "sys").string());
    e2e::SetEnvironment("VELLORAN_DEV_ROOT", (tree_ / "dev").string());
  }
  void TearDown() override {
    unsetenv("VELLORAN_SYSFS_ROOT");
    unsetenv("VELLORAN_DEV_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(tree_, ignored);
  }
  std::filesystem::path tree_;
};

// The first printer leaves the bus after the boot switch and comes back
// after the 3 s pause: the version check's open finds it missing and fails
// as an open failure does; the other printer gets nothing. The same for the
// tool without --port and for the dialog's procedure.
TEST_F(TwoUsbPrinters, AChosenPrinterAwayAtAnOpenFailsThatStepAndTheOtherGetsNoFrame) {
  for (const bool dialog : {false, true}) {
    SCOPED_TRACE(dialog ? "dialog" : "velloran-cli");
    sim::UsbPrinter chosen(InTree(tree_, 0, "1-1", "SN-A", sim::UsbReenumeration{5, 4000}));
    sim::UsbPrinter other(InTree(tree_, 1, "1-2", "SN-B", std::nullopt));
    std::string error;
    ASSERT_TRUE(chosen.Start(&error)) << error;
    ASSERT_TRUE(other.Start(&error)) << error;
    const e2e::ImageFile image(700);
    std::vector<std::string> boxes;
    if (dialog) {
      e2e::RecordingWindow window;
      g_strImagePath.Set(image.Path());
      EXPECT_EQ(PinnedUsbUpgradeProc(nullptr), kUpgradeFailed);
      boxes = window.boxes;
    } else {
      const CliRun run = RunArgs({"upgrade", "--lang", "en", "--link", "usb", image.Path()});
      EXPECT_EQ(run.status, kExitFailed);
      EXPECT_NE(run.out.find("Using SN-A; also attached: SN-B (choose one with --port)"), std::string::npos)
          << run.out;
      // The procedure's box, in English.
      if ((run.out + run.err).find("The USB printer could not be opened") != std::string::npos)
        boxes.push_back(text::kBoxOpenUsbFailed);
      EXPECT_FALSE(boxes.empty()) << run.out << run.err;
    }
    EXPECT_EQ(boxes, std::vector<std::string>{text::kBoxOpenUsbFailed});
    EXPECT_EQ(chosen.Frames().size(), 1u);  // the boot switch
    EXPECT_TRUE(other.Frames().empty()) << other.Frames().size() << " frames reached the other printer";
    chosen.Stop();
    other.Stop();
  }
}

// Chosen by its serial number, the second printer re-enumerates within the
// pause (lp1 comes back as lp5) and is found again by its port path.
TEST_F(TwoUsbPrinters, AChosenPrinterIsFoundAgainUnderANewIndex) {
  sim::UsbPrinter first(InTree(tree_, 0, "1-1", "SN-A", std::nullopt));
  sim::UsbPrinter chosen(InTree(tree_, 1, "1-2", "SN-B", sim::UsbReenumeration{5, 500}));
  std::string error;
  ASSERT_TRUE(first.Start(&error)) << error;
  ASSERT_TRUE(chosen.Start(&error)) << error;
  const e2e::ImageFile image(700);
  const CliRun run = RunArgs({"upgrade", "--lang", "en", "--link", "usb", "--port", "SN-B", image.Path()});
  EXPECT_EQ(run.status, kExitOk) << run.out << run.err;
  EXPECT_TRUE(chosen.Finished());
  EXPECT_EQ(chosen.FlashedImage(), image.ExpectedFlash(512));
  EXPECT_EQ(chosen.NodePath(), tree_ / "dev/usb/lp5");
  EXPECT_TRUE(first.Frames().empty());
  first.Stop();
  chosen.Stop();
}

}  // namespace
}  // namespace velloran::cli
