// Diagnosis of ports on Windows: the system tells only whether the name
// exists and whether it may be opened now; it does not name the holder.
#include "port_diagnosis.h"

#include <windows.h>

#include "system_error_text.h"

namespace velloran::platform {

NodeDiagnosis DiagnoseNode(const std::string &node, NodeUse) {
  NodeDiagnosis diagnosis;
  diagnosis.node = node;
  HANDLE handle = CreateFileA(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return diagnosis;
  }
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: diagnosis.verdict = NodeVerdict::kHeld; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: diagnosis.verdict = NodeVerdict::kMissing; break;
    default: {
      diagnosis.verdict = NodeVerdict::kFailed;
      diagnosis.error = static_cast<int>(error);
      diagnosis.systemText = LastErrorText();
    }
  }
  return diagnosis;
}

}  // namespace velloran::platform
