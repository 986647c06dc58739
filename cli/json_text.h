// JSON string literals for the machine-readable output of velloran-cli.
#pragma once

#include <string>
#include <string_view>

namespace velloran::cli {

// text (a narrow text of the program, see narrow_text.h) as a JSON string
// literal in UTF-8, quotes included. UTF-8 passes through;
// control characters, quotes and backslashes are escaped; bytes that are not
// valid UTF-8 become U+FFFD, so the output is always valid JSON.
std::string JsonString(std::string_view text);

}  // namespace velloran::cli
