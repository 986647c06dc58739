// The udev rule of the packages opens exactly the USB printers that the
// library's USB search accepts, and the AppStream data names the same
// vendors: both compared with every vendor ID that the vendor filter takes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "usb_printer_selection.h"

namespace velloran::transport {
namespace {

std::set<std::string> VendorsOfTheRule() {
  std::ifstream rule(VELLORAN_UDEV_RULE);
  std::set<std::string> vendors;
  const std::regex line(R"re(^ATTRS\{idVendor\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");
  std::smatch match;
  for (std::string text; std::getline(rule, text);) {
    if (std::regex_match(text, match, line)) vendors.insert(match[1]);
  }
  return vendors;
}

// "usb:v067Bp*" lines of the AppStream data, in lower case.
std::set<std::string> VendorsOfTheMetainfo() {
  std::ifstream metainfo(VELLORAN_METAINFO);
  std::set<std::string> vendors;
  const std::regex line(R"re(^ *<modalias>usb:v([0-9A-F]{4})p\*</modalias>$)re");
  std::smatch match;
  for (std::string text; std::getline(metainfo, text);) {
    if (!std::regex_match(text, match, line)) continue;
    std::string vendor = match[1];
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
