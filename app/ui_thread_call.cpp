#include "ui_thread_call.h"

#include <condition_variable>
#include <mutex>

namespace velloran {

struct UiThreadCall::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool closing = false;
  bool Closing() {
    std::lock_guard lock(mutex);
    return closing;
  }
};

UiThreadCall::UiThreadCall(std::function<void(Task)> post, std::function<bool()> on_ui_thread)
    : post_(std::move(post)), on_ui_thread_(std::move(on_ui_thread)), shared_(std::make_shared<Shared>()) {}

bool UiThreadCall::Run(Task task) {
  if (Closing()) return false;
  if (on_ui_thread_()) {
    task();
    return true;
  }
  // The queued task may outlive this call (when closing stops the wait), so
  // everything it uses is shared with it.
  struct Call {
    Task task;
    bool done = false;
  };
  auto call = std::make_shared<Call>();
  call->task = std::move(task);
  std::shared_ptr<Shared> shared = shared_;
  post_([shared, call] {
    if (shared->Closing()) return;
    call->task();
    {
      std::lock_guard lock(shared->mutex);
      call->done = true;
    }
    shared->changed.notify_all();
  });
  std::unique_lock lock(shared->mutex);
  shared->changed.wait(lock, [&] { return call->done || shared->closing; });
  return call->done;
}

void UiThreadCall::BeginClosing() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closing = true;
  }
  shared_->changed.notify_all();
}

bool UiThreadCall::Closing() const { return shared_->Closing(); }

}  // namespace velloran
