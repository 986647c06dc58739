// Diagnosis of ports on Windows: the system tells only whether the name
// exists and whether it may be opened now; it does not name the holder.
#include "port_diagnosis.h"

#include <windows.h>

namespace velloran::platform {

std::vector<NodeHolder> NodeHolders(const std::string &) { return {}; }

NodeDiagnosis DiagnoseNode(const std::string &node, bool) {
  NodeDiagnosis diagnosis;
  diagnosis.node = node;
  HANDLE handle = CreateFileA(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return diagnosis;
  }
  diagnosis.verdict = GetLastError() == ERROR_ACCESS_DENIED ? NodeVerdict::kHeld : NodeVerdict::kMissing;
  return diagnosis;
}

}  // namespace velloran::platform
