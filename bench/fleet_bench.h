// The command-line tool as a program against simulated serial printers:
// eight printers at once against one alone (wall-time ratio, the tool's CPU
// per printer), and what --baud saves at 115200.
#pragma once

#include <string>

namespace velloran::bench {

// image: the image file; cli: the velloran-cli program. Returns 0 when
// every upgrade completed.
int BenchFleet(const std::string &image, const std::string &cli);
int BenchKnownBaud(const std::string &image, const std::string &cli);

}  // namespace velloran::bench
