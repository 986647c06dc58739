#include "closed_upgrade_warning.h"

namespace velloran {

std::string ClosedDuringUpgradeWarning(UpgradeReach reach) {
  const std::string closed = "velloran: the dialog was closed while the upgrade ran, ";
  switch (reach) {
    case UpgradeReach::kNothingSent:
      return closed + "before anything was sent to the printer: nothing changed.";
    case UpgradeReach::kBootMode:
      return closed +
             "before the erase: the printer's firmware is unchanged; it may stay in boot mode until it is "
             "switched off and on.";
    case UpgradeReach::kFlash:
      break;
  }
  return closed +
         "after the erase began: the printer's flash is erased or partly written. Keep the printer powered "
         "and run the upgrade again.";
}

}  // namespace velloran
