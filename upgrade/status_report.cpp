// The process-wide registration of the main window and the delivery of status
// lines and message boxes to it.
#include "status_report.h"

#include <condition_variable>
#include <mutex>

#include "upgrade_stop.h"

namespace velloran {
namespace {

struct Registry {
  std::mutex mutex;
  std::condition_variable idle;
  UpgradeWindow *window = nullptr;
  int deliveries = 0;  // deliveries in progress, on any thread
};

Registry &TheRegistry() {
  static Registry registry;
  return registry;
}

// Deliveries in progress on this thread: a window that unregisters from
// inside its own handler must not wait for itself.
thread_local int t_ownDeliveries = 0;

// Runs deliver(window) on the registered window, if any, keeping the window
// alive against a concurrent unregistration until it returns.
template <typename Deliver>
void DeliverToWindow(Deliver deliver) {
  Registry &registry = TheRegistry();
  UpgradeWindow *window;
  {
    std::lock_guard lock(registry.mutex);
    window = registry.window;
    if (window == nullptr) return;
    ++registry.deliveries;
  }
  ++t_ownDeliveries;
  struct Done {
    Registry &registry;
    ~Done() {
      --t_ownDeliveries;
      std::lock_guard lock(registry.mutex);
      --registry.deliveries;
      registry.idle.notify_all();
    }
  } done{registry};
  deliver(*window);
}

}  // namespace

void SetUpgradeWindow(UpgradeWindow *window) {
  Registry &registry = TheRegistry();
  std::unique_lock lock(registry.mutex);
  registry.window = window;
  if (window == nullptr) {
    registry.idle.wait(lock, [&] { return registry.deliveries <= t_ownDeliveries; });
  }
}

void SendUpgradeStatus(const StatusReport &report, int code) {
  if (UpgradeStopHonoured()) return;  // the line of a frame that never went out
  DeliverToWindow([&](UpgradeWindow &window) {
    window.OnUpgradeStatus(new std::string(StatusText(report)), code, MeaningOf(report));
  });
}

void UpgradeMessageBox(const StatusReport &report) {
  if (UpgradeStopHonoured()) return;
  DeliverToWindow([&](UpgradeWindow &window) { window.ShowMessageBox(StatusText(report), MeaningOf(report)); });
}

}  // namespace velloran
