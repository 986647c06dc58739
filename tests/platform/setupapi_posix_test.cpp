// The device-setup enumeration of USB printers on fake usblp trees.
#include "win32_comm.h"
#include "win32_setupapi.h"

#include "../transport/fake_usb_tree.h"
#include "comm_pty_pair.h"
#include "posix/usb_print_paths.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using velloran::platform::UsbPrintNodeFromDevicePath;
using velloran::testing::FakeUsbTree;

constexpr const wchar_t *kClassSuffix = L"#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

HDEVINFO PresentPrinters() {
  return SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

struct Listed {
  DWORD flags;
  std::wstring path;
};

std::vector<Listed> ListAll(HDEVINFO set) {
  std::vector<Listed> listed;
  for (DWORD i = 0;; ++i) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, i, &data)) {
      EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
      return listed;
    }
    DWORD size = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<DWORD> storage(size / sizeof(DWORD) + 1);
    auto *detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr));
    listed.push_back({data.Flags, std::wstring(static_cast<const wchar_t *>(detail->DevicePath))});
  }
}

TEST(SetupDiUsbPrinters, ListsInterfacesInNumericOrderWithVendorAtCharacterEight) {
  FakeUsbTree tree;
  tree.AddPrinter(10, "1FC9", "/dev/null", "0002");
  tree.AddPrinter(2, "067b", "/dev/null", "2305");
  tree.AddPrinter(3, "0483", "");  // no node: present, not active
  HDEVINFO set = PresentPrinters();
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  std::vector<Listed> listed = ListAll(set);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].path, std::wstring(L"\\\\?\\usb#vid_067b&pid_2305#lp2") + kClassSuffix);
  EXPECT_EQ(listed[0].flags, SPINT_ACTIVE);
  EXPECT_EQ(listed[1].flags, 0u);
  EXPECT_EQ(listed[2].path, std::wstring(L"\\\\?\\usb#vid_1FC9&pid_0002#lp10") + kClassSuffix);
  EXPECT_EQ(listed[2].path.substr(8, 8), L"vid_1FC9");
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
}

TEST(SetupDiUsbPrinters, UnpluggedInterfacesAreLeftOutOfThePresentSet) {
  FakeUsbTree tree;
  tree.AddUnpluggedPrinter(0);
  tree.AddPrinter(1, "0416", "/dev/null");
  HDEVINFO present = PresentPrinters();
  std::vector<Listed> listed = ListAll(present);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_NE(listed[0].path.find(L"#lp1#"), std::wstring::npos);
  SetupDiDestroyDeviceInfoList(present);

  HDEVINFO all = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                      DIGCF_DEVICEINTERFACE);
  listed = ListAll(all);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].flags, SPINT_REMOVED);
  SetupDiDestroyDeviceInfoList(all);
}

TEST(SetupDiUsbPrinters, InterfacesWithoutAReadableVendorAreLeftOut) {
  FakeUsbTree tree;
  tree.AddPrinter(0, "usb?", "/dev/null");
  tree.AddPrinter(1, "0416", "/dev/null");
  tree.AddUnpluggedPrinter(2);
  HDEVINFO all = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                      DIGCF_DEVICEINTERFACE);
  std::vector<Listed> listed = ListAll(all);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, std::wstring(L"\\\\?\\usb#vid_0416&pid_0e15#lp1") + kClassSuffix);
  EXPECT_EQ(listed[0].flags, SPINT_ACTIVE);
  EXPECT_EQ(listed[1].path, std::wstring(L"\\\\?\\usb#vid_0000&pid_0000#lp2") + kClassSuffix);
  EXPECT_EQ(listed[1].flags, SPINT_REMOVED);
  SetupDiDestroyDeviceInfoList(all);
}

TEST(SetupDiUsbPrinters, NoUsbmiscClassGivesAnEmptySet) {
  FakeUsbTree tree;
  std::filesystem::remove_all(tree.root() / "sys/class");
  HDEVINFO set = PresentPrinters();
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ListAll(set).empty());
  SetupDiDestroyDeviceInfoList(set);
}

TEST(SetupDiUsbPrinters, RecordsOfTheWrongSizeAndBuffersTooSmallAreRefused) {
  FakeUsbTree tree;
  tree.AddPrinter(0, "067b", "/dev/null");
  HDEVINFO set = PresentPrinters();
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data - 1;
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, 0, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  data.cbSize = sizeof data;
  ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, 0, &data));

  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
  std::vector<DWORD> storage(size / sizeof(DWORD) + 1);
  auto *detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(storage.data());
  detail->cbSize = size;  // the whole size, not the record's
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size - 1, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SetupDiDestroyDeviceInfoList(set);
}

TEST(UsbPrintDevicePath, LeadsToTheNodeOfItsInterface) {
  FakeUsbTree tree;
  const std::string dev = (tree.root() / "dev").string();
  EXPECT_EQ(UsbPrintNodeFromDevicePath(
                "\\\\?\\usb#vid_067b&pid_2305#lp3#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"),
            dev + "/usb/lp3");
  EXPECT_EQ(UsbPrintNodeFromDevicePath(
                "\\\\?\\USB#VID_067B&PID_2305#LP12#{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}"),
            dev + "/usb/lp12");
  for (const char *other : {"COM1", "\\\\.\\COM1", "/dev/usb/lp0",
                            "\\\\?\\usb#vid_067b&pid_2305#lp#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                            "\\\\?\\usb#vid_067b&pid_2305#lp1x#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                            "\\\\?\\usb#vid_067b&pid_2305#lp1#{00000000-5a12-11d1-ae5b-0000f803a8c2}"})
    EXPECT_FALSE(UsbPrintNodeFromDevicePath(other)) << other;
}

TEST(UsbPrintDevicePath, CreateFileWOpensTheInterfaceNode) {
  // A pseudo-terminal stands in for the printer's node (/dev/null, which
  // every other program has open, is held by them).
  velloran::testing::PtyPair printer;
  ASSERT_TRUE(printer.ok());
  FakeUsbTree tree;
  tree.AddPrinter(0, "067b", printer.slave_path());
  HANDLE file = CreateFileW(
      L"\\\\?\\usb#vid_067b&pid_0e15#lp0#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(CreateFileW(L"\\\\?\\usb#vid_067b&pid_0e15#lp1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
