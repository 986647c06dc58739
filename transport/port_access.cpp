// Opening, configuring and writing device ports.
#include "port_access.h"

namespace velloran::transport {

HANDLE OpenDeviceExclusive(LPCSTR name) {
  if (!name) return INVALID_HANDLE_VALUE;
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE OpenDeviceExclusive(LPCWSTR name) {
  if (!name) return INVALID_HANDLE_VALUE;
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void SetPortTimeouts(HANDLE port, COMMTIMEOUTS timeouts) {
  COMMTIMEOUTS previous{};
  GetCommTimeouts(port, &previous);
  SetCommTimeouts(port, &timeouts);
}

void DiscardQueuedBytes(HANDLE port) { PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR); }

int WriteToPort(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  return WriteFile(port, data, length, written, nullptr) ? 1 : 0;
}

}  // namespace velloran::transport
