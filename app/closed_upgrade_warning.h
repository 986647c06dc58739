// What the dialog leaves on its standard error when it is closed while an
// upgrade still runs. The process then ends with the worker (nothing waits
// for it), so this line is the technician's only word on the printer's state.
#pragma once

#include <string>

#include "upgrade_stop.h"

namespace velloran {

std::string ClosedDuringUpgradeWarning(UpgradeReach reach);

}  // namespace velloran
