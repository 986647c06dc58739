// The device-setup enumeration of USB printer interfaces, made from the
// usblp class devices in sysfs.
#include "win32_setupapi.h"

#include "decimal_digits.h"
#include "kernel_object.h"
#include "small_text_file.h"
#include "usb_print_paths.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace velloran::platform {
namespace {

namespace fs = std::filesystem;

struct InterfaceEntry {
  DWORD flags = 0;
  std::wstring path;
};

// A snapshot of the interfaces of one class, taken by SetupDiGetClassDevsW.
class DeviceInfoSet : public KernelObject {
 public:
  GUID interface_class{};
  std::vector<InterfaceEntry> entries;
};

bool SameGuid(const GUID &a, const GUID &b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Four hex digits, as the kernel writes idVendor and idProduct.
std::optional<std::string> ReadIdField(const fs::path &file) {
  std::optional<std::string> content = ReadSmallTextFile(file.string());
  if (!content) return std::nullopt;
  std::string text = *content;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  const auto hex = [](unsigned char c) { return std::isxdigit(c) != 0; };
  if (text.size() != 4 || !std::ranges::all_of(text, hex)) return std::nullopt;
  return text;
}

// lpN -> N; nothing for other names.
std::optional<unsigned> UsblpIndex(const std::string &name) {
  if (name.size() < 3 || name.size() > 8 || name.compare(0, 2, "lp") != 0) return std::nullopt;
  return DecimalDigitsValue(std::string_view(name).substr(2));
}

std::wstring Widen(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// False, with errno's value in *error, when the class folder exists but
// cannot be read; without the folder (no usblp driver) there is no printer.
bool ScanUsbPrinters(bool present_only, std::vector<InterfaceEntry> &out, int *error) {
  std::error_code ec;
  fs::path class_dir = fs::path(SysfsRoot()) / "class" / "usbmisc";
  std::vector<std::pair<unsigned, fs::path>> found;
  for (fs::directory_iterator it(class_dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (auto index = UsblpIndex(it->path().filename().string())) found.emplace_back(*index, it->path());
  }
  if (ec && ec != std::errc::no_such_file_or_directory) {
    *error = ec.value();
    return false;
  }
  std::sort(found.begin(), found.end());

  for (const auto &[index, class_device] : found) {
    InterfaceEntry entry;
    fs::path interface = fs::canonical(class_device / "device", ec);
    bool present = !ec && fs::is_directory(interface, ec);
    if (!present) {
      if (present_only) continue;
      entry.flags = SPINT_REMOVED;
      entry.path = Widen(UsbPrintDevicePath("0000", "0000", index));
      out.push_back(std::move(entry));
      continue;
    }
    fs::path usb_device = interface.parent_path();
    auto vendor = ReadIdField(usb_device / "idVendor");
    auto product = ReadIdField(usb_device / "idProduct");
    if (!vendor) continue;  // not a USB device we can name
    // The interface is usable once its device node exists.
    entry.flags = fs::exists(UsbPrintNode(index), ec) ? SPINT_ACTIVE : 0;
    entry.path = Widen(UsbPrintDevicePath(*vendor, product.value_or("0000"), index));
    out.push_back(std::move(entry));
  }
  return true;
}

// The set and the entry that an interface record refers to.
const InterfaceEntry *EntryOf(const DeviceInfoSet &set, const SP_DEVICE_INTERFACE_DATA *data) {
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return nullptr;
  if (data->Reserved == 0 || data->Reserved > set.entries.size()) return nullptr;
  return &set.entries[data->Reserved - 1];
}

}  // namespace
}  // namespace velloran::platform

using namespace velloran::platform;

HDEVINFO SetupDiGetClassDevsW(const GUID *ClassGuid, LPCWSTR Enumerator, void *, DWORD Flags) {
  if (!(Flags & DIGCF_DEVICEINTERFACE) || (Flags & DIGCF_ALLCLASSES)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return INVALID_HANDLE_VALUE;
  }
  if (!ClassGuid || Enumerator) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto *set = new DeviceInfoSet;
  set->interface_class = *ClassGuid;
  int error = 0;
  if (SameGuid(*ClassGuid, GUID_DEVINTERFACE_USBPRINT) &&
      !ScanUsbPrinters((Flags & DIGCF_PRESENT) != 0, set->entries, &error)) {
    delete set;
    SetLastErrorFromErrno(error);
    return INVALID_HANDLE_VALUE;
  }
  return RegisterHandle(set);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA,
                                 const GUID *InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
  auto set = LookupHandleAs<velloran::platform::DeviceInfoSet>(DeviceInfoSet);
  if (!set) return FALSE;
  if (!InterfaceClassGuid || !DeviceInterfaceData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!SameGuid(*InterfaceClassGuid, set->interface_class) || MemberIndex >= set->entries.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  DeviceInterfaceData->InterfaceClassGuid = set->interface_class;
  DeviceInterfaceData->Flags = set->entries[MemberIndex].flags;
  DeviceInterfaceData->Reserved = static_cast<ULONG_PTR>(MemberIndex) + 1;
  return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                      PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, DWORD *RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
  auto set = LookupHandleAs<velloran::platform::DeviceInfoSet>(DeviceInfoSet);
  if (!set) return FALSE;
  const InterfaceEntry *entry = EntryOf(*set.get(), DeviceInterfaceData);
  if (!entry) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t needed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                        (entry->path.size() + 1) * sizeof(WCHAR);
  if (RequiredSize) *RequiredSize = static_cast<DWORD>(needed);
  if (!DeviceInterfaceDetailData) {
    SetLastError(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                    : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (DeviceInterfaceDetailDataSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(DeviceInterfaceDetailData->DevicePath, entry->path.c_str(),
              (entry->path.size() + 1) * sizeof(WCHAR));
  if (DeviceInfoData) {
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return FALSE;
    }
    DeviceInfoData->ClassGuid = set->interface_class;
    DeviceInfoData->DevInst = static_cast<DWORD>(DeviceInterfaceData->Reserved - 1);
    DeviceInfoData->Reserved = 0;
  }
  return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  if (!LookupHandleAs<velloran::platform::DeviceInfoSet>(DeviceInfoSet)) return FALSE;
  return UnregisterHandle(DeviceInfoSet) ? TRUE : FALSE;
}
