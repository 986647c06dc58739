// Work handed from a worker to the user-interface thread, and the release
// of waiting workers when the window starts closing.
#include "ui_thread_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace velloran {
namespace {

using namespace std::chrono_literals;

// A user-interface thread with a task queue; it can be held still.
class FakeUiThread {
 public:
  FakeUiThread() : thread_([this] { Loop(); }) {}
  ~FakeUiThread() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      held_ = false;
    }
    changed_.notify_all();
    thread_.join();
  }

  void Post(UiThreadCall::Task task) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(task));
    }
    changed_.notify_all();
  }
  bool OnThread() const { return std::this_thread::get_id() == thread_.get_id(); }
  void Hold(bool held) {
    {
      std::lock_guard lock(mutex_);
      held_ = held;
    }
    changed_.notify_all();
  }
  // Drops queued tasks, as a destroyed window's pending messages go.
  void Discard() {
    std::lock_guard lock(mutex_);
    queue_.clear();
  }

  UiThreadCall MakeCall() {
    return UiThreadCall([this](UiThreadCall::Task task) { Post(std::move(task)); }, [this] { return OnThread(); });
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || (!held_ && !queue_.empty()); });
      if (stop_) return;
      UiThreadCall::Task task = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<UiThreadCall::Task> queue_;
  bool held_ = false;
  bool stop_ = false;
  std::thread thread_;
};

TEST(UiThreadCall, RunsTheTaskOnTheUiThreadAndWaitsForIt) {
  FakeUiThread ui;
  UiThreadCall call = ui.MakeCall();
  bool ran_on_ui = false;
  std::thread worker([&] {
    EXPECT_TRUE(call.Run([&] {
      std::this_thread::sleep_for(50ms);
      ran_on_ui = ui.OnThread();
    }));
    EXPECT_TRUE(ran_on_ui);  // already done when Run returned
  });
  worker.join();
}

TEST(UiThreadCall, OnTheUiThreadItselfRunsDirectly) {
  FakeUiThread ui;
  UiThreadCall call = ui.MakeCall();
  std::promise<bool> result;
  ui.Post([&] { result.set_value(call.Run([] {})); });
  EXPECT_TRUE(result.get_future().get());
}

TEST(UiThreadCall, ClosingReleasesAWaitingWorkerAndTheTaskNeverRuns) {
  FakeUiThread ui;
  UiThreadCall call = ui.MakeCall();
  ui.Hold(true);  // the UI thread is busy elsewhere, e.g. waiting for the worker
  auto payload = std::make_shared<int>(7);
  std::weak_ptr<int> watch = payload;
  std::atomic<bool> ran{false};
  std::promise<bool> returned;
  std::thread worker([&, payload = std::move(payload)]() mutable {
    returned.set_value(call.Run([&ran, payload] { ran = true; }));
  });
  std::future<bool> result = returned.get_future();
  EXPECT_EQ(result.wait_for(200ms), std::future_status::timeout) << "must wait while the UI is alive";
  call.BeginClosing();
  ASSERT_EQ(result.wait_for(30s), std::future_status::ready);  // generous: the machine may be loaded
  EXPECT_FALSE(result.get());
  worker.join();
  ui.Hold(false);  // the queued task now comes up, and must do nothing
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(ran);
  ui.Discard();
  EXPECT_TRUE(watch.expired()) << "what the task held is freed";
}

TEST(UiThreadCall, AfterClosingNothingIsQueued) {
  FakeUiThread ui;
  UiThreadCall call = ui.MakeCall();
  call.BeginClosing();
  EXPECT_TRUE(call.Closing());
  bool ran = false;
  std::thread worker([&] { EXPECT_FALSE(call.Run([&] { ran = true; })); });
  worker.join();
  std::promise<bool> on_ui;
  ui.Post([&] { on_ui.set_value(call.Run([&] { ran = true; })); });
  EXPECT_FALSE(on_ui.get_future().get());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace velloran
