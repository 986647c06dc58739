// Opening, configuring and writing device ports.
#include "port_access.h"

namespace velloran::transport {
namespace {

HANDLE WithTimeouts(HANDLE port, COMMTIMEOUTS timeouts) {
  if (port == INVALID_HANDLE_VALUE) return port;
  COMMTIMEOUTS previous{};
  GetCommTimeouts(port, &previous);
  SetCommTimeouts(port, &timeouts);
  return port;
}

}  // namespace

HANDLE OpenDeviceExclusive(LPCSTR name, COMMTIMEOUTS timeouts) {
  if (!name) return INVALID_HANDLE_VALUE;
  return WithTimeouts(
      CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), timeouts);
}

HANDLE OpenDeviceExclusive(LPCWSTR name, COMMTIMEOUTS timeouts) {
  if (!name) return INVALID_HANDLE_VALUE;
  return WithTimeouts(
      CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), timeouts);
}

int WriteToPort(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  return WriteFile(port, data, length, written, nullptr) ? 1 : 0;
}

int PurgeAndWriteToPort(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);
  return WriteToPort(port, data, length, written);
}

}  // namespace velloran::transport
