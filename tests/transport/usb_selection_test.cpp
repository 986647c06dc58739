// The choice of USB printer against a list of interfaces made up here.
#include "usb_printer_selection.h"

#include "win32_setupapi.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using velloran::transport::ChooseUsbPrinter;
using velloran::transport::UsbInterfaceList;
using velloran::transport::VendorFieldAccepted;

struct FakeInterface {
  DWORD flags;
  std::wstring path;
  bool detail_fails = false;
};

class FakeList : public UsbInterfaceList {
 public:
  explicit FakeList(std::vector<FakeInterface> interfaces) : interfaces_(std::move(interfaces)) {}
  bool Fetch(DWORD index, DWORD *flags) override {
    fetched_.push_back(index);
    if (index >= interfaces_.size()) return false;
    current_ = index;
    *flags = interfaces_[index].flags;
    return true;
  }
  bool DevicePath(std::wstring *path) override {
    detailed_.push_back(current_);
    if (interfaces_[current_].detail_fails) return false;
    *path = interfaces_[current_].path;
    return true;
  }
  std::vector<DWORD> fetched_, detailed_;

 private:
  std::vector<FakeInterface> interfaces_;
  DWORD current_ = 0;
};

std::wstring PathWithVendor(const std::wstring &vendor, int n = 0) {
  return L"\\\\?\\usb#" + vendor + L"&pid_0e15#5&2f1a&0&" + std::to_wstring(n) +
         L"#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
}

TEST(UsbVendorField, MatchesFilterEntriesWhateverTheirCase) {
  for (const wchar_t *vendor : {L"vid_067b", L"VID_067B", L"vid_0416", L"vid_1cbe", L"Vid_0483",
                                L"vid_0471", L"vid_1fc9", L"VID_1FC9"})
    EXPECT_TRUE(VendorFieldAccepted(PathWithVendor(vendor))) << vendor;
}

TEST(UsbVendorField, RejectsOtherVendorsShortPathsAndMisplacedFields) {
  EXPECT_FALSE(VendorFieldAccepted(PathWithVendor(L"vid_04b8")));
  EXPECT_FALSE(VendorFieldAccepted(PathWithVendor(L"vid_067c")));
  EXPECT_FALSE(VendorFieldAccepted(L"\\\\?\\usb#vid_067"));  // 15 characters
  EXPECT_FALSE(VendorFieldAccepted(L""));
  EXPECT_FALSE(VendorFieldAccepted(L"\\\\?\\usb##vid_067b&pid_0e15"));
  // The field is compared, not searched for.
  EXPECT_FALSE(VendorFieldAccepted(L"\\\\?\\hid#vid_04b8&pid_0001#vid_067b"));
}

TEST(UsbSelection, NoInterfacesGivesNothing) {
  FakeList list({});
  EXPECT_FALSE(ChooseUsbPrinter(list));
  EXPECT_EQ(list.fetched_, std::vector<DWORD>{0});
}

TEST(UsbSelection, TakesTheLowestActiveMatchingIndex) {
  FakeList list({{SPINT_ACTIVE, PathWithVendor(L"vid_04b8", 0)},
                 {SPINT_ACTIVE, PathWithVendor(L"vid_0483", 1)},
                 {SPINT_ACTIVE, PathWithVendor(L"vid_067b", 2)}});
  auto chosen = ChooseUsbPrinter(list);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, PathWithVendor(L"vid_0483", 1));
  // Nothing after the match is looked at.
  EXPECT_EQ(list.fetched_, (std::vector<DWORD>{0, 1}));
}

TEST(UsbSelection, PassesOverInterfacesThatAreNotExactlyActive) {
  FakeList list({{SPINT_ACTIVE | SPINT_DEFAULT, PathWithVendor(L"vid_067b", 0)},
                 {0, PathWithVendor(L"vid_067b", 1)},
                 {SPINT_ACTIVE | SPINT_REMOVED, PathWithVendor(L"vid_067b", 2)},
                 {SPINT_ACTIVE, PathWithVendor(L"vid_067b", 3)}});
  auto chosen = ChooseUsbPrinter(list);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, PathWithVendor(L"vid_067b", 3));
  // Skipped interfaces are not even asked for their path.
  EXPECT_EQ(list.detailed_, std::vector<DWORD>{3});
}

TEST(UsbSelection, LooksAtTwentyInterfacesAtMost) {
  std::vector<FakeInterface> interfaces(20, {SPINT_ACTIVE, PathWithVendor(L"vid_04b8")});
  interfaces.push_back({SPINT_ACTIVE, PathWithVendor(L"vid_067b", 20)});
  FakeList list(interfaces);
  EXPECT_FALSE(ChooseUsbPrinter(list));
  EXPECT_EQ(list.fetched_.back(), 19u);

  interfaces[19] = {SPINT_ACTIVE, PathWithVendor(L"vid_067b", 19)};
  FakeList with_last(interfaces);
  EXPECT_TRUE(ChooseUsbPrinter(with_last));
}

TEST(UsbSelection, AMissingDevicePathEndsTheSearch) {
  FakeList list({{SPINT_ACTIVE, PathWithVendor(L"vid_067b", 0), true},
                 {SPINT_ACTIVE, PathWithVendor(L"vid_067b", 1)}});
  EXPECT_FALSE(ChooseUsbPrinter(list));
  EXPECT_EQ(list.fetched_, std::vector<DWORD>{0});
}

}  // namespace
