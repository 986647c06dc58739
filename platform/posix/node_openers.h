// What stands between this process and a device node besides its
// permissions: other processes that have it open (found as fuser finds
// them, through /proc), a terminal's exclusivity (TIOCEXCL), and whether a
// character device can be a printer port at all.
#pragma once

#include <sys/stat.h>

#include <vector>

#include "port_diagnosis.h"

namespace velloran::platform {

// The processes other than this one that have the node open. One that also
// holds the master side of a pseudo-terminal is marked as the far end of
// that line (a simulated printer): no rival opener of its slave.
std::vector<NodeHolder> OtherOpeners(const struct stat &node);

// The terminal on fd is set exclusive (by whoever set it; a pseudo-terminal
// keeps the flag while its master is open, after its setter has gone).
bool TerminalIsExclusive(int fd);

// A parallel printer port: an lp or usblp node, or a terminal (the
// simulator offers its printer on a pseudo-terminal). FIFOs and sockets
// stand in for devices and pass; other character devices do not.
bool CanBePrinterPort(const struct stat &node, int fd);

// The holders that keep another program from the port: rivals, not the far
// end of a pseudo-terminal.
bool AnyRival(const std::vector<NodeHolder> &holders);

}  // namespace velloran::platform
