// The stop request, the pauses that it cuts short and the record of the
// frames sent.
#include "upgrade_stop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "frame.h"

namespace velloran {
namespace {

struct StopState {
  std::mutex mutex;
  std::condition_variable changed;
  // Written under mutex, so that a pause waiting on changed cannot miss it;
  // atomic for the readers that take no lock.
  std::atomic<bool> requested{false};
  std::atomic<bool> honoured{false};
  std::atomic<UpgradeReach> reach{UpgradeReach::kNothingSent};
};

StopState &State() {
  static StopState state;
  return state;
}

UpgradeReach ReachOf(uint8_t command) {
  switch (command) {
    case CMD_ENTER_BOOT:
    case CMD_VERSION: return UpgradeReach::kBootMode;
    case CMD_ERASE:
    case CMD_DATA:
    case CMD_FINISH: return UpgradeReach::kFlash;
    default: return UpgradeReach::kNothingSent;
  }
}

// Raises the request, unless onlyBeforeErase and the erase has gone out.
bool Request(bool onlyBeforeErase, const std::function<void()> &granted) {
  StopState &state = State();
  {
    std::lock_guard lock(state.mutex);
    if (onlyBeforeErase && state.reach >= UpgradeReach::kFlash) return false;
    if (granted) granted();
    state.requested = true;
  }
  state.changed.notify_all();
  return true;
}

}  // namespace

void RequestUpgradeStop() { Request(false, {}); }

bool UpgradeStopRequested() { return State().requested; }

bool RequestUpgradeStopBeforeErase(const std::function<void()> &granted) { return Request(true, granted); }

void ResetUpgradeStop() {
  StopState &state = State();
  std::lock_guard lock(state.mutex);
  state.requested = false;
  state.honoured = false;
  state.reach = UpgradeReach::kNothingSent;
}

bool PauseUnlessStopped(uint32_t ms) {
  StopState &state = State();
  std::unique_lock lock(state.mutex);
  const bool stopped =
      state.changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return state.requested.load(); });
  if (stopped) state.honoured = true;
  return !stopped;
}

bool MaySendFrame(const uint8_t *frame) {
  StopState &state = State();
  std::lock_guard lock(state.mutex);
  if (state.requested) {
    state.honoured = true;
    return false;
  }
  const UpgradeReach reach = ReachOf(frame[4]);
  if (reach > state.reach) state.reach = reach;
  return true;
}

bool UpgradeStopHonoured() { return State().honoured; }

UpgradeReach ReachedSoFar() { return State().reach; }

}  // namespace velloran
