#include "open_file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "file_filter.h"

namespace velloran {

std::string Win32FilterString(const std::string &filter) {
  std::string result;
  for (const FileFilterChoice &choice : ParseFileFilter(filter)) result += choice.name + '\0' + choice.pattern + '\0';
  result.push_back('\0');
  return result;
}

std::optional<std::string> ShowOpenFileDialog(HWND owner, const std::string &filter) {
  const std::string filters = Win32FilterString(filter);
  // Room for long paths; the dialog reports a longer one as an error.
  std::vector<char> path(32768, '\0');
  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = filters.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = path.data();
  request.nMaxFile = static_cast<DWORD>(path.size());
  request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&request)) return std::nullopt;
  return std::string(path.data());
}

}  // namespace velloran
