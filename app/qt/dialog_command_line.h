// The dialog's own command-line options, --help and --version. They are
// answered before Qt starts, so they need no display; every other argument
// is Qt's (-platform, -style, ...).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velloran {

// The text to print for --help (-h) or --version among the arguments after
// the program name; nothing when neither is there.
std::optional<std::string> DialogInfoText(const std::vector<std::string> &args);

}  // namespace velloran
