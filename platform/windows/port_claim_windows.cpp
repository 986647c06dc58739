// A claim on Windows holds nothing (see port_claim.h).
#include "port_claim.h"

namespace velloran::platform {

PortClaim::PortClaim(const std::string &) {}

PortClaim::~PortClaim() = default;

}  // namespace velloran::platform
