#include "port_number.h"

#include <charconv>
#include <climits>

namespace velloran {

int ParseDecimal(std::string_view text) {
  // White space as the C library's isspace knows it.
  const size_t start = text.find_first_not_of(" \t\n\v\f\r");
  if (start == std::string_view::npos) return 0;
  text.remove_prefix(start);
  // from_chars takes a minus sign but no plus sign ("+-1" stays no number).
  if (text.size() > 1 && text[0] == '+' && text[1] >= '0' && text[1] <= '9') text.remove_prefix(1);
  int value = 0;  // left alone when no digit follows
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc::result_out_of_range) {
    return text[0] == '-' ? INT_MIN : INT_MAX;
  }
  return value;
}

int PortNumberFromText(std::string_view text) {
  size_t m = text.find('M');
  if (m == std::string_view::npos) return 0;
  return ParseDecimal(text.substr(m + 1));
}

}  // namespace velloran
