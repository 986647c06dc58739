// Before connecting to a network printer, forget what the neighbour table
// knows of its address, so that a printer that changed its hardware address
// (or was replaced) is found again.
#pragma once

#include "win32_base.h"

namespace velloran::transport {

// Flushes the neighbour table of every interface that has an entry for the
// IPv4 address (network byte order). Failures are silent: the step is a
// courtesy and needs privilege on some systems.
void ForgetNeighbour(DWORD address);

}  // namespace velloran::transport
