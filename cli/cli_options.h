// The command line of velloran-cli, parsed with CLI11.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "messages.h"

namespace velloran::cli {

enum class Command { kUpgrade, kPorts, kInfo };
enum class Link { kUsb, kSerial, kLpt };
enum class Verbosity { kQuiet, kNormal, kVerbose };

struct CliOptions {
  Command command = Command::kUpgrade;
  Link link = Link::kSerial;
  std::optional<std::string> port;  // --port as given
  bool json = false;
  std::string image;
  Verbosity verbosity = Verbosity::kNormal;
  std::optional<Language> language;  // --lang; otherwise the locale's
};

struct ParsedCommandLine {
  enum class Outcome { kRun, kHelp, kVersion, kUsageError };
  Outcome outcome = Outcome::kUsageError;
  CliOptions options;
  std::string text;         // the help, the version line, or why the command line is wrong
  bool jsonWanted = false;  // --json is among the arguments: errors go out as JSON too
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string> &args);

// "velloran-cli 4.0.0".
std::string VersionLine();

// Name of a link as the command line spells it.
const char *LinkName(Link link);

}  // namespace velloran::cli
