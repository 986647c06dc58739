// The event object behind CreateEventA, shared with the overlapped I/O of the
// comm layer, which signals a record's event when its operation completes.
#pragma once

#include "kernel_object.h"

#include <condition_variable>
#include <mutex>

namespace velloran::platform {

class EventObject final : public KernelObject {
 public:
  EventObject(bool manual_reset, bool initial_state)
      : manual_reset_(manual_reset), signalled_(initial_state) {}

  void Set();
  void Reset();
  bool IsSet();
  DWORD Wait(DWORD milliseconds) override;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const bool manual_reset_;
  bool signalled_;
};

// The event behind a handle, or empty (ERROR_INVALID_HANDLE). A null handle is
// not an error for callers that treat "no event" as allowed; they test first.
Ref<EventObject> LookupEvent(HANDLE handle);

}  // namespace velloran::platform
