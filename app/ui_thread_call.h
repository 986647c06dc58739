// Runs work on the user-interface thread for a worker thread and waits for
// it, as a synchronous window message does, but stops waiting once the
// window has begun to close: the user-interface thread may by then be
// waiting for the worker itself (to unregister the window), and the work
// would touch a window that is going away.
#pragma once

#include <functional>
#include <memory>

namespace velloran {

class UiThreadCall {
 public:
  using Task = std::function<void()>;
  // post: queues a task for the user-interface thread's event loop; the
  // queue may drop tasks that have not run when the window is destroyed.
  // on_ui_thread: whether the calling thread is the user-interface thread.
  UiThreadCall(std::function<void(Task)> post, std::function<bool()> on_ui_thread);

  // Runs task on the user-interface thread and returns once it has run
  // (true), or once closing has begun (false; the task then does not start
  // any more, though one already running finishes). Called on the
  // user-interface thread itself, runs the task directly.
  bool Run(Task task);

  // From now on no task starts and no caller waits. Called on the
  // user-interface thread before the window is unregistered.
  void BeginClosing();
  bool Closing() const;

 private:
  struct Shared;
  std::function<void(Task)> post_;
  std::function<bool()> on_ui_thread_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace velloran
