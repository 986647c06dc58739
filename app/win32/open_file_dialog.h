// The system's file-open dialog for a filter written as
// "Name|pattern|Name|pattern||".
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace velloran {

// The filter as GetOpenFileName wants it: each name and pattern ended by a
// zero, the whole list by a second zero.
std::string Win32FilterString(const std::string &filter);

// Shows the dialog owned by owner with the first choice preselected; the
// full path of the chosen file, or nothing when the user cancels.
std::optional<std::string> ShowOpenFileDialog(HWND owner, const std::string &filter);

}  // namespace velloran
