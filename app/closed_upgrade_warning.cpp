#include "closed_upgrade_warning.h"

#include "printer_state.h"

namespace velloran {

std::string ClosedDuringUpgradeWarning(UpgradeReach reach) {
  const MessageRow closed = {"stopped_by_closed_dialog", "because the dialog was closed", "因对话框被关闭"};
  return "velloran: " + PrinterStateMessage(reach, FillMessage(closed)).en;
}

}  // namespace velloran
