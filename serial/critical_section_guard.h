// Holds a critical section for a scope, releasing it on every way out.
#pragma once

#include "win32_base.h"

class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CRITICAL_SECTION &cs) : cs_(cs) { EnterCriticalSection(&cs_); }
  ~CriticalSectionGuard() { LeaveCriticalSection(&cs_); }
  CriticalSectionGuard(const CriticalSectionGuard &) = delete;
  CriticalSectionGuard &operator=(const CriticalSectionGuard &) = delete;

 private:
  CRITICAL_SECTION &cs_;
};
