// The Win32 device-setup subset that finds USB printers, and the text
// conversion that goes with it.
//
// On Windows this is the system's own API. On Linux the interfaces of the
// USB printing class are the usblp devices:
//   $SYSFS/class/usbmisc/lpN   one interface each, N ascending = index
//   lpN/device                 link to the USB interface directory; its
//                              parent directory (the USB device) holds
//                              idVendor and idProduct (four hex digits)
//   $DEV/usb/lpN               the device node that CreateFileW opens
// $SYSFS is /sys and $DEV is /dev unless VELLORAN_SYSFS_ROOT and
// VELLORAN_DEV_ROOT name other roots (so a test can build a fake tree).
//
// Which interfaces a set holds, and their flags:
//   - device link leads to a directory whose parent has a readable
//     four-hex-digit idVendor: listed; SPINT_ACTIVE when $DEV/usb/lpN exists,
//     0 when it does not (udev has not made the node yet);
//   - the same without a readable idVendor: not listed (nothing to name it by);
//   - device link leads nowhere (unplugged): left out under DIGCF_PRESENT,
//     otherwise listed as SPINT_REMOVED with vendor and product 0000.
//
// Device paths look like Windows ones and carry the vendor field at
// characters 8 to 15, as written in idVendor:
//   \\?\usb#vid_067b&pid_2305#lp0#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}
// CreateFileW maps such a path to $DEV/usb/lp0.
#pragma once

#include "win32_base.h"

#ifdef _WIN32
#include <setupapi.h>
#include <initguid.h>
DEFINE_GUID(GUID_DEVINTERFACE_USBPRINT, 0x28D78FAD, 0x5A12, 0x11D1, 0xAE, 0x5B, 0x00, 0x00, 0xF8,
            0x03, 0xA8, 0xC2);
#else

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;

// The published interface class of USB printers.
inline constexpr GUID GUID_DEVINTERFACE_USBPRINT = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

typedef void *HDEVINFO;

#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_DEVICEINTERFACE 0x00000010u

#define SPINT_ACTIVE 0x00000001u
#define SPINT_DEFAULT 0x00000002u
#define SPINT_REMOVED 0x00000004u

#define ERROR_INVALID_USER_BUFFER 1784u
#define ERROR_INVALID_FLAGS 1004u

typedef struct _SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_W {
  DWORD cbSize;  // must be sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
  WCHAR DevicePath[1];
} SP_DEVICE_INTERFACE_DETAIL_DATA_W, *PSP_DEVICE_INTERFACE_DETAIL_DATA_W;

// The set of interfaces of one class, taken as the call finds them. Only
// DIGCF_DEVICEINTERFACE sets are supported; a class without devices on this
// system gives an empty set. Fails with INVALID_HANDLE_VALUE.
HDEVINFO SetupDiGetClassDevsW(const GUID *ClassGuid, LPCWSTR Enumerator, void *hwndParent,
                              DWORD Flags);

// The interface at MemberIndex of the set. Past the last one it fails with
// ERROR_NO_MORE_ITEMS. DeviceInterfaceData->cbSize must be set by the caller.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID *InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);

// The interface's device path. Without a buffer (or with one too small) it
// fails with ERROR_INSUFFICIENT_BUFFER and stores the size needed.
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO DeviceInfoSet,
                                      PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, DWORD *RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData);

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

// Code pages. Narrow text on Linux is UTF-8, so the ANSI code pages are
// UTF-8 here.
#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_THREAD_ACP 3u
#define CP_UTF8 65001u
#define WC_ERR_INVALID_CHARS 0x00000080u
#define ERROR_NO_UNICODE_TRANSLATION 1113u

// Wide (UTF-32 on Linux) to narrow text. cchWideChar -1 converts up to and
// including the terminating zero; cbMultiByte 0 asks for the size needed.
// Characters that are no Unicode scalar value become U+FFFD (or fail with
// ERROR_NO_UNICODE_TRANSLATION under WC_ERR_INVALID_CHARS). Returns the
// number of bytes written, or 0 with the last error set.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL *lpUsedDefaultChar);

#endif  // !_WIN32
