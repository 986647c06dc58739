// The handle table, CloseHandle, WaitForSingleObject, the last error and time.
#include "kernel_object.h"

#include "file_object.h"

#include <ctime>
#include <errno.h>
#include <unistd.h>
#include <mutex>
#include <unordered_set>

namespace velloran::platform {
namespace {

// Leaked on purpose: handles may be closed from static destructors (the
// process-wide serial port object) after a table with a destructor is gone.
struct HandleTable {
  std::mutex mutex;
  std::unordered_set<KernelObject *> live;
};

HandleTable &Table() {
  static HandleTable *table = new HandleTable;
  return *table;
}

thread_local DWORD t_last_error = ERROR_SUCCESS;
thread_local int t_last_errno = 0;  // the errno behind t_last_error, 0 when none

}  // namespace

DWORD KernelObject::Wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

HANDLE RegisterHandle(KernelObject *object) {
  HandleTable &table = Table();
  std::lock_guard lock(table.mutex);
  table.live.insert(object);
  return object;
}

Ref<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable &table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.live.find(static_cast<KernelObject *>(handle));
  if (it == table.live.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return {};
  }
  (*it)->AddRef();
  return Ref<KernelObject>(*it);
}

bool UnregisterHandle(HANDLE handle) {
  KernelObject *object = nullptr;
  {
    HandleTable &table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.live.find(static_cast<KernelObject *>(handle));
    if (it == table.live.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    object = *it;
    table.live.erase(it);
  }
  object->OnClose();
  object->Release();
  return true;
}

uint64_t MonotonicMillis() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SetLastErrorFromErrno(int error) {
  t_last_error = Win32ErrorFromErrno(error);
  t_last_errno = error;
}

int LastErrno() { return t_last_errno; }

}  // namespace velloran::platform

using namespace velloran::platform;

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD dwErrCode) {
  t_last_error = dwErrCode;
  t_last_errno = 0;
}

DWORD GetTickCount() { return static_cast<DWORD>(MonotonicMillis()); }

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {  // sleeps for ever, as on Windows
    for (;;) pause();
  }
  timespec left{static_cast<time_t>(dwMilliseconds / 1000),
                static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) == -1 && errno == EINTR) {
  }
}

BOOL CloseHandle(HANDLE hObject) { return UnregisterHandle(hObject) ? TRUE : FALSE; }

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  Ref<KernelObject> object = LookupHandle(hHandle);
  if (!object) return WAIT_FAILED;
  return object->Wait(dwMilliseconds);
}
