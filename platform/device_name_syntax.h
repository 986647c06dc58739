// The syntax of Windows device names, shared by the device-name tables of
// both systems: "COMn" and "LPTn" in any case, with or without "\\.\", n in
// decimal from 1 to 1024 without sign or leading zero.
#pragma once

#include "decimal_digits.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace velloran::platform::device_syntax {

// CComPort accepts COM1…COM1024; nothing larger is a port number.
inline constexpr unsigned kLargestPortNumber = 1024;
// The port lists (the dialog's, `ports`, the first free port) look at COM1 to
// COM255 only; a larger port is used when named.
inline constexpr unsigned kHighestListedComPort = 255;
inline constexpr std::string_view kDevicePrefix = "\\\\.\\";

enum class DeviceKind { kCom, kLpt };

struct DeviceName {
  DeviceKind kind;
  unsigned number;
  bool operator==(const DeviceName &) const = default;
};

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::ranges::equal(text.substr(0, prefix.size()), prefix, {}, Upper, Upper);
}

inline bool HasDevicePrefix(std::string_view name) {
  return name.substr(0, kDevicePrefix.size()) == kDevicePrefix;
}

// A decimal number without sign or leading zero, 1…limit.
inline std::optional<unsigned> ParseNumber(std::string_view digits, unsigned limit) {
  if (digits.empty() || digits.size() > 5 || digits[0] == '0') return std::nullopt;
  const std::optional<unsigned> value = DecimalDigitsValue(digits);
  if (!value || *value > limit) return std::nullopt;
  return value;
}

inline std::optional<DeviceName> ParseDeviceName(std::string_view name) {
  if (HasDevicePrefix(name)) name.remove_prefix(kDevicePrefix.size());
  for (auto [prefix, kind] : {std::pair{std::string_view("COM"), DeviceKind::kCom},
                              std::pair{std::string_view("LPT"), DeviceKind::kLpt}}) {
    if (!StartsWithNoCase(name, prefix)) continue;
    if (auto number = ParseNumber(name.substr(prefix.size()), kLargestPortNumber)) {
      return DeviceName{kind, *number};
    }
  }
  return std::nullopt;
}

}  // namespace velloran::platform::device_syntax
