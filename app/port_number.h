// Numbers typed into the dialog's combo boxes.
#pragma once

#include <string_view>

namespace velloran {

// Converts like the C library's atoi: leading white space skipped, an
// optional sign, then decimal digits up to the first non-digit; 0 when no
// digit follows. Numbers beyond the int range saturate at INT_MAX or INT_MIN
// instead of overflowing.
int ParseDecimal(std::string_view text);

// The port number of a port text such as "COM12 " or "COM3 /dev/ttyS2": the
// number after the first "M"; 0 when the text has no "M".
int PortNumberFromText(std::string_view text);

}  // namespace velloran
