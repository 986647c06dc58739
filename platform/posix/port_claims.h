// The nodes that this process claims (port_claim.h), for CreateFileA: an
// open of a claimed node shares the claim's open description instead of
// opening the node beside it, which its advisory lock and exclusivity
// would refuse.
#pragma once

#include <sys/stat.h>

namespace velloran::platform {

// A new descriptor on the claim's open description when node is claimed by
// this process; -1 otherwise.
int DuplicateClaimed(const struct stat &node);

}  // namespace velloran::platform
