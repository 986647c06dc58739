// Text from the command line or the system, made safe to print: control
// characters would move the cursor, clear the screen or fake lines.
#pragma once

#include <string>
#include <string_view>

namespace velloran::cli {

// text with each control character (below 0x20, and 0x7F) written as \xNN,
// and backslashes doubled only where they would be mistaken for such an
// escape; everything else, UTF-8 included, unchanged.
std::string PrintableText(std::string_view text);

}  // namespace velloran::cli
