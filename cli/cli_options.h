// The command line of velloran-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velloran::cli {

enum class Command { kUpgrade, kPorts, kInfo, kHelp, kVersion };
enum class Link { kUsb, kSerial, kLpt };

struct CliOptions {
  Command command = Command::kHelp;
  Link link = Link::kSerial;
  std::optional<std::string> port;  // --port as given (serial only)
  bool json = false;
  std::string image;
};

// Parses the arguments after the program name; on a usage error returns
// nullopt and says why in error.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string> &args, std::string *error);

const char *CliUsage();

// Name of a link as the command line spells it.
const char *LinkName(Link link);

}  // namespace velloran::cli
