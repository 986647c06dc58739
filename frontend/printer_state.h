// The sentence that tells the user what state an upgrade stopped from
// outside left the printer in, by how far the upgrade had got.
#pragma once

#include <string_view>

#include "bilingual_message.h"
#include "upgrade_stop.h"

namespace velloran {

// cause: what stopped it, as it reads after "Upgrade stopped" ("by SIGTERM",
// "because the dialog was closed").
Message PrinterStateMessage(UpgradeReach reach, const Message &cause);

// The row of one of those sentences by its id; nullptr for another id.
const MessageRow *PrinterStateRow(std::string_view id);

}  // namespace velloran
