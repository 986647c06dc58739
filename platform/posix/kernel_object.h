// Kernel objects behind the HANDLE values of the POSIX implementation.
//
// A HANDLE is the address of a KernelObject that stands in a process-wide
// table of live handles. Looking a handle up takes a reference, so an object
// that one thread closes while another still uses it lives until the last
// reference is dropped. Handles not in the table (never created, or already
// closed) are refused with ERROR_INVALID_HANDLE instead of being dereferenced.
#pragma once

#include "win32_base.h"

#include <atomic>
#include <utility>

namespace velloran::platform {

class KernelObject {
 public:
  KernelObject() = default;
  KernelObject(const KernelObject &) = delete;
  KernelObject &operator=(const KernelObject &) = delete;
  virtual ~KernelObject() = default;

  // WaitForSingleObject on this object: WAIT_OBJECT_0, WAIT_TIMEOUT, or
  // WAIT_FAILED with the last error set. Objects that cannot be waited for
  // keep this default.
  virtual DWORD Wait(DWORD milliseconds);

  // Called once, when CloseHandle removes the object from the handle table
  // (other references may still be alive). Files release their descriptor
  // here, so that pending operations on other threads end promptly.
  virtual void OnClose() {}

  void AddRef() { refs_.fetch_add(1, std::memory_order_relaxed); }
  void Release() {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 private:
  std::atomic<int> refs_{1};
};

// A counted reference to a kernel object.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T *p) : p_(p) {}  // adopts one reference
  Ref(const Ref &o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref &operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) p_->Release();
  }
  T *get() const { return p_; }
  T *operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T *p_ = nullptr;
};

// Puts a new object (holding its initial reference) into the handle table
// and returns its handle.
HANDLE RegisterHandle(KernelObject *object);

// Looks a handle up. On success the result holds a reference; on failure it
// is empty and the last error is ERROR_INVALID_HANDLE.
Ref<KernelObject> LookupHandle(HANDLE handle);

// Looks a handle up and checks its kind.
template <class T>
Ref<T> LookupHandleAs(HANDLE handle) {
  Ref<KernelObject> any = LookupHandle(handle);
  if (!any) return {};
  T *typed = dynamic_cast<T *>(any.get());
  if (!typed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return {};
  }
  typed->AddRef();
  return Ref<T>(typed);
}

// Removes a handle from the table, calls OnClose and drops the table's
// reference. False (ERROR_INVALID_HANDLE) for an unknown handle.
bool UnregisterHandle(HANDLE handle);

// Milliseconds for a condition-variable deadline; INFINITE waits forever.
// Returns a monotonic deadline in milliseconds (unused for INFINITE).
uint64_t MonotonicMillis();

// Sets the last error from an errno value and keeps the errno for its text
// (LastErrorText); SetLastError forgets it (LastErrno is 0 then).
void SetLastErrorFromErrno(int error);
int LastErrno();

}  // namespace velloran::platform
