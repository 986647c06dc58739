// Events: manual-reset and auto-reset, waited for with a time-out.
#include "event_object.h"

#include <chrono>

namespace velloran::platform {

void EventObject::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void EventObject::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool EventObject::IsSet() {
  std::lock_guard lock(mutex_);
  return signalled_;
}

DWORD EventObject::Wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  if (milliseconds == INFINITE) {
    changed_.wait(lock, [this] { return signalled_; });
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return signalled_; })) {
    return WAIT_TIMEOUT;
  }
  // An auto-reset event releases one waiter and falls back to unsignalled.
  if (!manual_reset_) signalled_ = false;
  return WAIT_OBJECT_0;
}

Ref<EventObject> LookupEvent(HANDLE handle) { return LookupHandleAs<EventObject>(handle); }

}  // namespace velloran::platform

using namespace velloran::platform;

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  // Named events are shared between processes on Windows; nothing here needs
  // that, and a silent private event would be a different object.
  if (lpName != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return RegisterHandle(new EventObject(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent) {
  Ref<EventObject> event = LookupEvent(hEvent);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  Ref<EventObject> event = LookupEvent(hEvent);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}
