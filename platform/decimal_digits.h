// Unsigned decimal numbers written as digits alone: no sign, no blanks.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace velloran::platform {

// The value of digits that are all decimal digits (at least one); nothing
// for anything else or a value beyond unsigned.
inline std::optional<unsigned> DecimalDigitsValue(std::string_view digits) {
  unsigned value = 0;
  const char *end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace velloran::platform
