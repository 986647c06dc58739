// Reading the kernel's IPv4 neighbour table as /proc/net/arp shows it.
#pragma once

#include "win32_iphlpapi.h"

#include <istream>
#include <vector>

namespace velloran::platform {

// Interface index for a device name; 0 when there is no such interface.
using InterfaceIndexOf = unsigned (*)(const char *device);

// The rows of /proc/net/arp text (its heading line is skipped). Lines that
// cannot be read are left out. Types: permanent entries are static, complete
// ones dynamic, the rest (still resolving, failed) invalid.
std::vector<MIB_IPNETROW> ParseArpTable(std::istream &text, InterfaceIndexOf index_of);

}  // namespace velloran::platform
