// Critical sections: recursive locks kept in the caller's CRITICAL_SECTION.
#include "win32_base.h"

#include <mutex>
#include <new>

namespace {
static_assert(sizeof(std::recursive_mutex) <= sizeof(CRITICAL_SECTION::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(CRITICAL_SECTION));

std::recursive_mutex &Lock(LPCRITICAL_SECTION cs) {
  return *std::launder(reinterpret_cast<std::recursive_mutex *>(cs->opaque));
}
}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  new (lpCriticalSection->opaque) std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  Lock(lpCriticalSection).~recursive_mutex();
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) { Lock(lpCriticalSection).lock(); }

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) { Lock(lpCriticalSection).unlock(); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  return Lock(lpCriticalSection).try_lock() ? TRUE : FALSE;
}
