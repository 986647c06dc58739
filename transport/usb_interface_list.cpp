// The device-setup service's list of present USB printer interfaces.
#include "usb_interface_list.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace velloran::transport {

SystemUsbInterfaceList::SystemUsbInterfaceList()
    : set_(SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}

SystemUsbInterfaceList::~SystemUsbInterfaceList() {
  if (valid()) SetupDiDestroyDeviceInfoList(set_);
}

bool SystemUsbInterfaceList::Fetch(DWORD index, DWORD *flags) {
  current_ = {};
  current_.cbSize = sizeof current_;
  if (!SetupDiEnumDeviceInterfaces(set_, nullptr, &GUID_DEVINTERFACE_USBPRINT, index, &current_))
    return false;
  *flags = current_.Flags;
  return true;
}

bool SystemUsbInterfaceList::DevicePath(std::wstring *path) {
  // The first call only tells the size; it fails for lack of a buffer.
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set_, &current_, nullptr, 0, &size, nullptr);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return false;
  // Held in DWORDs so that the record is suitably aligned.
  std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set_, &current_, detail, size, nullptr, nullptr))
    return false;
  const size_t capacity =
      (size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(WCHAR);
  const WCHAR *text = detail->DevicePath;  // runs on past the declared [1]
  path->assign(text, std::find(text, text + capacity, L'\0'));
  return true;
}

}  // namespace velloran::transport
