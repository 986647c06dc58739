// Text from the command line or the system, made safe to print: control
// characters would move the cursor, clear the screen or fake lines.
#pragma once

#include <string>
#include <string_view>

namespace velloran::cli {

// text with each control character (below 0x20, and 0x7F) written as \xNN
// and each backslash doubled, so that no text prints like another; everything
// else, UTF-8 included, unchanged. Every text from outside (paths, arguments,
// device strings) goes through it before it is printed as text; JSON output
// escapes by its own rules instead.
std::string PrintableText(std::string_view text);

}  // namespace velloran::cli
