// The reporting hook behind COM_ASSERT.
#include "com_assert.h"

#include "win32_base.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<ComAssertTrace> g_trace{nullptr};

void TraceToStandardError(const char *text) { std::fprintf(stderr, "%s\n", text); }

ComAssertTrace CurrentTrace() {
  if (ComAssertTrace trace = g_trace.load()) return trace;
  static const bool from_environment = [] {
    const char *value = std::getenv("VELLORAN_COM_TRACE");
    return value != nullptr && value[0] != '\0';
  }();
  return from_environment ? TraceToStandardError : nullptr;
}

}  // namespace

bool ComAssertFailed(const char *text) {
  if (ComAssertTrace trace = CurrentTrace()) {
    // The caller may still look at the error of the call that failed.
    DWORD error = ::GetLastError();
    trace(text);
    ::SetLastError(error);
  }
  return false;
}

void SetComAssertTrace(ComAssertTrace trace) { g_trace.store(trace); }
