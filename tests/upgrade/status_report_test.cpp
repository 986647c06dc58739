// Delivery of status lines and message boxes to the registered window.
#include "recording_window.h"
#include "status_report.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace velloran {
namespace {

using namespace std::chrono_literals;

// A window whose message box stays open until released.
class BlockingWindow : public UpgradeWindow {
 public:
  void OnUpgradeStatus(std::string *text, int, const StatusMeaning &) override { delete text; }
  void ShowMessageBox(const std::string &, const StatusMeaning &) override {
    opened.set_value();
    release.get_future().wait();
    closed = true;
  }
  std::promise<void> opened;
  std::promise<void> release;
  std::atomic<bool> closed{false};
};

TEST(StatusReport, DeliversLinesAndBoxesInOrderWhileRegistered) {
  RecordingWindow window;
  SendUpgradeStatus(StatusId::kPreparingBoot, 1);  // nothing registered: dropped, no crash
  UpgradeMessageBox(StatusId::kBoxUpgradeComplete);
  SetUpgradeWindow(&window);
  SendUpgradeStatus({StatusId::kPacketSentFormat, 1}, 0);
  SendUpgradeStatus(StatusId::kUpgradeDone, 200);
  UpgradeMessageBox(StatusId::kBoxUpgradeComplete);
  SetUpgradeWindow(nullptr);
  SendUpgradeStatus(StatusId::kExit, 3);

  ASSERT_EQ(window.lines.size(), 2u);
  EXPECT_EQ(window.lines[0], std::make_pair(std::string("第1包数据发送成功！"), 0));
  EXPECT_EQ(window.lines[1], std::make_pair(std::string("升级完成！！！"), 200));
  EXPECT_EQ(window.boxes, std::vector<std::string>{"Upgrade Complete！"});
}

TEST(StatusReport, UnregisteringWaitsForAnOpenMessageBox) {
  BlockingWindow window;
  SetUpgradeWindow(&window);
  std::thread worker([] { UpgradeMessageBox(StatusId::kBoxUpgradeComplete); });
  window.opened.get_future().wait();

  auto unregistered = std::async(std::launch::async, [] { SetUpgradeWindow(nullptr); });
  EXPECT_EQ(unregistered.wait_for(200ms), std::future_status::timeout)
      << "unregistered while the box was still open";
  window.release.set_value();
  unregistered.get();
  EXPECT_TRUE(window.closed);
  worker.join();
}

// A window that unregisters from inside its own handler must not wait for
// itself.
TEST(StatusReport, UnregisteringFromInsideADeliveryReturns) {
  struct SelfClosingWindow : UpgradeWindow {
    void OnUpgradeStatus(std::string *text, int, const StatusMeaning &) override {
      delete text;
      SetUpgradeWindow(nullptr);
      ++calls;
    }
    void ShowMessageBox(const std::string &, const StatusMeaning &) override {}
    int calls = 0;
  } window;
  SetUpgradeWindow(&window);
  auto done = std::async(std::launch::async, [] { SendUpgradeStatus(StatusId::kExit, 0); });
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  SendUpgradeStatus(StatusId::kExit, 0);
  EXPECT_EQ(window.calls, 1);
}

}  // namespace
}  // namespace velloran
