// The udev rule of the packages opens exactly the USB printers that the
// library's USB search accepts, and the AppStream data names the same
// vendors: both compared with every vendor ID that the vendor filter takes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "usb_printer_selection.h"

namespace velloran::transport {
namespace {

// The four hexadecimal digits that stand between prefix and suffix when the
// whole line is exactly that (std::regex draws false warnings from g++ 12).
std::string VendorBetween(const std::string &text, const std::string &prefix, const std::string &suffix,
                          int (*isDigit)(int)) {
  const size_t size = prefix.size() + 4 + suffix.size();
  if (text.size() != size || text.compare(0, prefix.size(), prefix) != 0 ||
      text.compare(prefix.size() + 4, suffix.size(), suffix) != 0)
    return "";
  const std::string vendor = text.substr(prefix.size(), 4);
  for (char c : vendor) {
    if (!isDigit(static_cast<unsigned char>(c))) return "";
  }
  return vendor;
}

int IsLowerHex(int c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); }
int IsUpperHex(int c) { return std::isdigit(c) || (c >= 'A' && c <= 'F'); }

std::set<std::string> VendorsOfTheRule() {
  std::ifstream rule(VELLORAN_UDEV_RULE);
  std::set<std::string> vendors;
  for (std::string text; std::getline(rule, text);) {
    const std::string vendor = VendorBetween(text, "ATTRS{idVendor}==\"", "\", TAG+=\"uaccess\"", IsLowerHex);
    if (!vendor.empty()) vendors.insert(vendor);
  }
  return vendors;
}

// "usb:v067Bp*" lines of the AppStream data, in lower case.
std::set<std::string> VendorsOfTheMetainfo() {
  std::ifstream metainfo(VELLORAN_METAINFO);
  std::set<std::string> vendors;
  for (std::string text; std::getline(metainfo, text);) {
    text.erase(0, text.find_first_not_of(' '));
    std::string vendor = VendorBetween(text, "<modalias>usb:v", "p*</modalias>", IsUpperHex);
    if (vendor.empty()) continue;
    for (char &c : vendor) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    vendors.insert(vendor);
  }
  return vendors;
}

std::set<std::string> VendorsOfTheFilter() {
  std::set<std::string> vendors;
  for (unsigned id = 0; id <= 0xFFFF; ++id) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "%04x", id);
    std::wstring path = L"\\\\?\\usb#vid_";
    for (const char *c = hex; *c; ++c) path += static_cast<wchar_t>(*c);
    path += L"&pid_2305#lp0#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    if (VendorFieldAccepted(path)) vendors.insert(hex);
  }
  return vendors;
}

TEST(UdevRule, OpensTheVendorsThatTheUsbSearchAccepts) {
  const auto rule = VendorsOfTheRule();
  ASSERT_FALSE(rule.empty()) << "no uaccess line in " << VELLORAN_UDEV_RULE;
  EXPECT_EQ(rule, VendorsOfTheFilter());
  EXPECT_EQ(VendorsOfTheMetainfo(), rule);
}

}  // namespace
}  // namespace velloran::transport
