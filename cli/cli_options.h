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
  std::optional<std::string> port;  // --port as given, when given once
  std::vector<std::string> ports;   // every --port, in their order
  bool all = false;                 // --all: every accepted USB printer
  unsigned jobs = 0;                // --jobs: upgrades at once; 0: all
  std::optional<std::string> record;  // --record FILE: the service record
  unsigned baud = 0;                // --baud: the serial rate tried first; 0: none
  bool check = false;               // --check: everything up to the first frame
  std::optional<std::string> asTarget;  // hidden: a fleet's worker for this target
  bool json = false;
  std::string image;
  Verbosity verbosity = Verbosity::kNormal;
  std::optional<Language> language;  // --lang; otherwise the locale's
};

struct ParsedCommandLine {
  enum class Outcome { kRun, kHelp, kVersion, kUsageError };
  Outcome outcome = Outcome::kUsageError;
  CliOptions options;
  std::string text;         // the help or the version line
  Message problem;          // why the command line is wrong
  bool jsonWanted = false;  // --json is among the arguments: errors go out as JSON too
  Language language = Language::kEnglish;  // --lang's, else the locale's
};

// Parses the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string> &args);

// "velloran-cli 4.0.0".
std::string VersionLine();

// Whether the upgrade goes to several printers at once (a fleet).
bool SeveralTargets(const CliOptions &options);

// Name of a link as the command line spells it.
const char *LinkName(Link link);

}  // namespace velloran::cli
