// The parallel-port pipe: OpenLptW, OpenLptA, WriteLpt, CloseLpt.
#include "corvalink.h"
#include "port_access.h"

using namespace velloran::transport;

namespace {

// A write of n bytes ends after at most n + 2000 ms, whatever the printer
// does. The read values serve callers that read the handle with ReadCom.
constexpr COMMTIMEOUTS kLptTimeouts = {0, 20, 20, 1, 2000};

}  // namespace

extern "C" {

HANDLE WINAPI OpenLptW(LPCWSTR name) { return OpenDeviceExclusive(name, kLptTimeouts); }
HANDLE WINAPI OpenLptA(LPCSTR name) { return OpenDeviceExclusive(name, kLptTimeouts); }

int WINAPI WriteLpt(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  return PurgeAndWriteToPort(port, data, length, written);
}

int WINAPI CloseLpt(HANDLE port) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  return CloseHandle(port) ? 1 : 0;
}

}  // extern "C"
