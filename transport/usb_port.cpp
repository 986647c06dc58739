// The USB printer pipe: OpenUsb, WriteUsb, ReadUsb, CloseUsb.
#include "corvalink.h"
#include "port_access.h"
#include "process_variable.h"
#include "usb_interface_list.h"

#include <new>

using namespace velloran::transport;

namespace {

// A read returns with what has come within 100 ms, so that a caller's reply
// window is kept although it is only checked between reads. A write to a
// printer that takes nothing ends after 1 ms per byte plus 2 s instead of
// holding its thread for good.
constexpr COMMTIMEOUTS kUsbTimeouts = {0, 0, 100, 1, 2000};

}  // namespace

extern "C" {

HANDLE WINAPI OpenUsb(void) {
  try {
    SystemUsbInterfaceList interfaces;
    if (!interfaces.valid()) return INVALID_HANDLE_VALUE;
    // A program's choice of printer holds for every open (see
    // usb_printer_selection.h).
    std::optional<std::wstring> path =
        ChooseUsbPrinter(interfaces, velloran::platform::ProcessVariable(kUsbPrinterPinVariable));
    if (!path) return INVALID_HANDLE_VALUE;
    return OpenDeviceExclusive(path->c_str(), kUsbTimeouts);
  } catch (const std::bad_alloc &) {
    return INVALID_HANDLE_VALUE;
  }
}

int WINAPI WriteUsb(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  return WriteToPort(port, data, length, written);
}

int WINAPI ReadUsb(HANDLE port, LPVOID buffer, DWORD length, LPDWORD read) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  return ReadFile(port, buffer, length, read, nullptr) ? 1 : 0;
}

int WINAPI CloseUsb(HANDLE port) {
  if (port == INVALID_HANDLE_VALUE) return 0;
  return CloseHandle(port);
}

}  // extern "C"
