// The USB printer interfaces as the system's device-setup service lists them.
#pragma once

#include "usb_printer_selection.h"
#include "win32_setupapi.h"

namespace velloran::transport {

class SystemUsbInterfaceList : public UsbInterfaceList {
 public:
  SystemUsbInterfaceList();
  ~SystemUsbInterfaceList() override;
  SystemUsbInterfaceList(const SystemUsbInterfaceList &) = delete;
  SystemUsbInterfaceList &operator=(const SystemUsbInterfaceList &) = delete;

  // False when the system gave no list.
  bool valid() const { return set_ != INVALID_HANDLE_VALUE; }

  bool Fetch(DWORD index, DWORD *flags) override;
  bool DevicePath(std::wstring *path) override;

 private:
  HDEVINFO set_;
  SP_DEVICE_INTERFACE_DATA current_{};
};

}  // namespace velloran::transport
