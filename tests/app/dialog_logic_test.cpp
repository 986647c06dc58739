// The dialog's toolkit-free logic against a recording view: port list,
// what Load reads and raises, status lines and the progress bands. The Load
// checks through the real buttons are in dialog_qt_test.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <set>
#include <thread>

#include "app_values.h"
#include "closed_upgrade_warning.h"
#include "dialog_units.h"
#include "fake_dialog_view.h"
#include "file_filter.h"
#include "port_number.h"
#include "frame.h"
#include "procedure_launcher.h"
#include "progress_band.h"
#include "resource.h"
#include "upgrade_stop.h"
#include "velloran_dlg.h"

namespace velloran {
namespace {

using testing::FakeDialogView;
using testing::FakeLptProc;
using testing::FakeUsbProc;
using testing::RecordingLauncher;

TEST(PortNumber, ParsesLikeAtoiAfterTheFirstM) {
  EXPECT_EQ(PortNumberFromText("COM12 "), 12);
  EXPECT_EQ(PortNumberFromText("COM3 "), 3);
  EXPECT_EQ(PortNumberFromText("COM255 "), 255);
  EXPECT_EQ(PortNumberFromText("COM5"), 5);
  EXPECT_EQ(PortNumberFromText("COM7 /dev/ttyS6"), 7);
  EXPECT_EQ(PortNumberFromText("XYZ12"), 0);
  EXPECT_EQ(PortNumberFromText("com12"), 0);  // only a capital M counts
  EXPECT_EQ(PortNumberFromText("COMX"), 0);
  EXPECT_EQ(PortNumberFromText("M  \t+42x"), 42);
  EXPECT_EQ(PortNumberFromText("M-3"), -3);
  EXPECT_EQ(PortNumberFromText("MM5"), 0);  // the text after the first M is "M5"
  EXPECT_EQ(PortNumberFromText(""), 0);
}

TEST(PortNumber, HugeNumbersSaturate) {
  EXPECT_EQ(ParseDecimal("2147483647"), INT_MAX);
  EXPECT_EQ(ParseDecimal("2147483648"), INT_MAX);
  EXPECT_EQ(ParseDecimal("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseDecimal("-2147483649"), INT_MIN);
  EXPECT_EQ(PortNumberFromText("COM" + std::string(400, '9')), INT_MAX);
  EXPECT_EQ(ParseDecimal("4800"), 4800);
  EXPECT_EQ(ParseDecimal(" \n"), 0);
}

TEST(ProgressBand, CodesGiveColourAndPositionWithinTheBand) {
  struct Case {
    int code;
    uint32_t color;
    int position;
  };
  for (Case c : {Case{0, kBarBlue, 0}, Case{100, kBarBlue, 100}, Case{101, kBarGreen, 1},
                 Case{200, kBarGreen, 100}, Case{201, kBarRed, 1}, Case{250, kBarRed, 50},
                 Case{300, kBarRed, 100}}) {
    std::optional<BarState> bar = BarStateForCode(c.code);
    ASSERT_TRUE(bar) << c.code;
    EXPECT_EQ(bar->color, c.color) << c.code;
    EXPECT_EQ(bar->position, c.position) << c.code;
  }
  for (int code : {-1, 301, INT_MIN, INT_MAX}) EXPECT_FALSE(BarStateForCode(code)) << code;
}

TEST(FileFilter, SplitsNameAndPatternPairs) {
  std::vector<FileFilterChoice> choices = ParseFileFilter(kImageFileFilter);
  ASSERT_EQ(choices.size(), 2u);
  EXPECT_EQ(choices[0].name, "upd(*.upd)");
  EXPECT_EQ(choices[0].pattern, "*.upd");
  EXPECT_EQ(choices[1].name, "所有文件(*.*)");
  EXPECT_EQ(choices[1].pattern, "*.*");
  EXPECT_TRUE(ParseFileFilter("").empty());
  EXPECT_TRUE(ParseFileFilter("lonely name").empty());
}

TEST(DialogUnits, ConvertWithTheFontAverageWidthAndHeight) {
  // An alphabet 312 px wide averages 6 px a character; height 13 px.
  DialogUnits units(312, 13);
  EXPECT_EQ(units.base_x(), 6);
  EXPECT_EQ(units.base_y(), 13);
  EXPECT_EQ(units.ToPixelsX(319), 479);  // 319 * 6 / 4 = 478.5, rounded
  EXPECT_EQ(units.ToPixelsY(154), 250);  // 154 * 13 / 8 = 250.25
  DialogRect r = units.ToPixels({24, 105, 264, 14});
  EXPECT_EQ(r.x, 36);
  EXPECT_EQ(r.y, 171);
  EXPECT_EQ(r.cx, 396);
  EXPECT_EQ(r.cy, 23);
}

class DialogLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_strImagePath.Set("");
    g_nComPort = 0;
    g_nBaudRate = 0;
    busy_ = 1;
  }

  DialogServices Services(std::set<unsigned> free_ports, std::set<unsigned> busy_ports = {}) {
    auto probe = [=, this](unsigned port) {
      probed_.push_back(port);
      if (free_ports.count(port)) return ComPortState::kFree;
      if (busy_ports.count(port)) return ComPortState::kBusy;
      return ComPortState::kAbsent;
    };
    return testing::FakeServices(probe, launcher_, busy_);
  }

  FakeDialogView view_;
  RecordingLauncher launcher_;
  std::atomic<int> busy_{0};
  std::vector<unsigned> probed_;
};

TEST_F(DialogLogicTest, StartUpProbesEveryPortOnceAndListsOnlyTheFreeOnes) {
  CVelloranDlg dlg(view_, Services({3, 10}, {5}));
  EXPECT_TRUE(dlg.OnInitDialog());
  ASSERT_EQ(probed_.size(), 255u);
  EXPECT_EQ(probed_.front(), 1u);
  EXPECT_EQ(probed_.back(), 255u);
  EXPECT_EQ(dlg.free_ports(), (std::vector<uint32_t>{3, 10}));
  EXPECT_EQ(dlg.busy_ports(), (std::vector<uint32_t>{5}));
  EXPECT_EQ(dlg.present_ports(), (std::vector<uint32_t>{3, 5, 10}));
  EXPECT_EQ(view_.entries[IDC_COMBO_PORT], (std::vector<std::string>{"COM3 ", "COM10 "}));
  EXPECT_EQ(view_.entries[IDC_COMBO_BAUD],
            (std::vector<std::string>{"4800", "9600", "19200", "38400", "57600", "115200"}));
  EXPECT_EQ(view_.texts[IDC_COMBO_BAUD], "4800");
  EXPECT_EQ(busy_.load(), 0);
}

TEST_F(DialogLogicTest, PortEntryIsTheNameAloneAndTheNodeItsNote) {
  DialogServices services = Services({7});
  services.describe_port = [](unsigned port) { return "/dev/ttyS" + std::to_string(port - 1); };
  CVelloranDlg dlg(view_, services);
  dlg.OnInitDialog();
  EXPECT_EQ(view_.entries[IDC_COMBO_PORT], std::vector<std::string>{"COM7 "});
  EXPECT_EQ(view_.texts[IDC_COMBO_PORT], "COM7 ");
  EXPECT_EQ(view_.notes[IDC_COMBO_PORT], (std::map<std::string, std::string>{{"COM7 ", "/dev/ttyS6"}}));
  g_strImagePath.Set("/tmp/fw.upd");
  view_.checked[IDC_RADIO_SERIAL] = true;
  dlg.OnBnClickedLoad();
  EXPECT_EQ(g_nComPort.load(), 7);
}

TEST_F(DialogLogicTest, BusyFlagIgnoresLoadWithoutMessage) {
  CVelloranDlg dlg(view_, Services({1}));
  dlg.OnInitDialog();
  busy_ = 1;
  dlg.OnBnClickedLoad();  // not even the missing image is reported
  EXPECT_TRUE(view_.boxes.empty());
  EXPECT_TRUE(launcher_.launched.empty());
}

TEST_F(DialogLogicTest, UsbAndParallelNeverReadTheCombos) {
  CVelloranDlg dlg(view_, Services({}));
  dlg.OnInitDialog();
  g_strImagePath.Set("/tmp/fw.upd");
  view_.reads.clear();
  view_.checked[IDC_RADIO_USB] = true;
  dlg.OnBnClickedLoad();
  view_.checked[IDC_RADIO_USB] = false;
  view_.checked[IDC_RADIO_LPT] = true;
  busy_ = 0;
  dlg.OnBnClickedLoad();
  EXPECT_EQ(launcher_.launched, (std::vector<UpgradeProcedure>{&FakeUsbProc, &FakeLptProc}));
  EXPECT_EQ(view_.reads[IDC_COMBO_PORT], 0);
  EXPECT_EQ(view_.reads[IDC_COMBO_BAUD], 0);
  EXPECT_TRUE(view_.boxes.empty());
}

TEST_F(DialogLogicTest, FailedThreadStartDropsTheBusyFlag) {
  CVelloranDlg dlg(view_, Services({}));
  dlg.OnInitDialog();
  g_strImagePath.Set("/tmp/fw.upd");
  view_.checked[IDC_RADIO_USB] = true;
  launcher_.succeed = false;
  dlg.OnBnClickedLoad();
  EXPECT_EQ(busy_.load(), 0);
  launcher_.succeed = true;
  dlg.OnBnClickedLoad();  // a later Load is not locked out
  EXPECT_EQ(launcher_.launched.size(), 2u);
}

TEST_F(DialogLogicTest, StatusLinesAppendToTheLogAndMoveTheBar) {
  CVelloranDlg dlg(view_, Services({}));
  dlg.OnInitDialog();
  EXPECT_EQ(dlg.OnUpgradeStatus(new std::string("first"), 250), 0);
  EXPECT_EQ(dlg.OnUpgradeStatus(new std::string("second"), 301), 0);
  EXPECT_EQ(dlg.OnUpgradeStatus(new std::string("third"), -1), 0);
  EXPECT_EQ(view_.texts[IDC_EDIT_LOG], "first\r\nsecond\r\nthird\r\n");
  EXPECT_EQ(dlg.log(), "first\r\nsecond\r\nthird\r\n");
  EXPECT_EQ(view_.scrolls[IDC_EDIT_LOG], 3);
  EXPECT_EQ(view_.bar_colors, (std::vector<uint32_t>{kBarRed}));
  EXPECT_EQ(view_.bar_positions, (std::vector<int>{50}));
}

// Closing the dialog during an upgrade leaves one line on the printer's
// state, taken from how far this upgrade's frames went.
std::atomic<int> g_reachAtStart{-1};
unsigned RecordReachAtStart(void *) {
  g_reachAtStart = static_cast<int>(ReachedSoFar());
  return 0;
}

TEST(ClosedDuringUpgrade, EachLaunchStartsAFreshRecordOfTheFramesSent) {
  // A finished upgrade sent its erase; the next one has sent nothing yet.
  const uint8_t erase[8] = {0, 0, 0, 0, CMD_ERASE, 0, 0, 0};
  ASSERT_TRUE(MaySendFrame(erase));
  ASSERT_EQ(ReachedSoFar(), UpgradeReach::kFlash);
  std::atomic<int> busy{0};
  IdleThreadLauncher launcher(busy);
  ASSERT_TRUE(launcher.Launch(RecordReachAtStart, nullptr));
  for (int i = 0; i < 3000 && launcher.Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(launcher.Running());
  EXPECT_EQ(g_reachAtStart.load(), static_cast<int>(UpgradeReach::kNothingSent));
}

TEST(ClosedDuringUpgrade, TheWarningSaysWhatStateThePrinterIsIn) {
  const std::string none = ClosedDuringUpgradeWarning(UpgradeReach::kNothingSent);
  const std::string boot = ClosedDuringUpgradeWarning(UpgradeReach::kBootMode);
  const std::string flash = ClosedDuringUpgradeWarning(UpgradeReach::kFlash);
  EXPECT_NE(none.find("nothing on the printer changed"), std::string::npos) << none;
  EXPECT_NE(boot.find("firmware is unchanged"), std::string::npos) << boot;
  EXPECT_NE(flash.find("erased or partly written"), std::string::npos) << flash;
  EXPECT_NE(flash.find("run the upgrade again"), std::string::npos) << flash;
  for (const std::string *line : {&none, &boot, &flash}) {
    EXPECT_EQ(line->find('\n'), std::string::npos) << "one line";
  }
}

}  // namespace
}  // namespace velloran
