// The command line: subcommands, options and help with CLI11.
#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "baud_detection.h"
#include "device_name_syntax.h"
#include "velloran_version.h"

namespace velloran::cli {
namespace {

constexpr char kExitStatusHelp[] =
    "Exit status: 0 the upgrade completed (on the parallel port: every frame was written; with several "
    "printers: every one completed; with --check: every printer is ready), 1 it failed or a port cannot be "
    "used, 2 bad usage. Ctrl-C, SIGTERM or SIGHUP during an upgrade (or a closed output) stop "
    "it at the next frame boundary, close the port and say what state the printer is in; the status is then "
    "130, 143 or 129 (141 for a closed output). A second Ctrl-C ends the tool at once.";

constexpr char kShortExitStatusHelp[] = "Exit status: 0 success, 1 failure, 2 bad usage.";

// The links as --link names them.
struct LinkNaming {
  const char *name;
  Link link;
};
constexpr LinkNaming kLinks[] = {{"usb", Link::kUsb}, {"serial", Link::kSerial}, {"lpt", Link::kLpt}};

ParsedCommandLine UsageError(std::string why, bool json) {
  ParsedCommandLine parsed;
  parsed.outcome = ParsedCommandLine::Outcome::kUsageError;
  parsed.text = std::move(why);
  parsed.jsonWanted = json;
  return parsed;
}

}  // namespace

bool SeveralTargets(const CliOptions &options) { return options.all || options.ports.size() > 1; }

const char *LinkName(Link link) {
  for (const LinkNaming &naming : kLinks) {
    if (naming.link == link) return naming.name;
  }
  return "?";
}

std::string VersionLine() { return std::string("velloran-cli ") + kVersion; }

ParsedCommandLine ParseCommandLine(const std::vector<std::string> &args) {
  const auto end = std::find(args.begin(), args.end(), "--");
  const bool jsonWanted = std::find(args.begin(), end, "--json") != end;

  CLI::App app("Replaces a printer's firmware through its boot loader, over USB, a serial port or the "
               "parallel port.",
               "velloran-cli");
  app.set_version_flag("--version", VersionLine(), "Show the version and exit");
  app.require_subcommand(1);
  app.fallthrough();  // the common options may also follow the command
  // "/dev/..." and "/home/.../fw.upd" are paths on Windows too, not options.
  app.allow_windows_style_options(false);
  bool quiet = false;
  bool verbose = false;
  std::string language;
  CLI::Option *quietOption = app.add_flag("-q,--quiet", quiet, "Print only errors and the closing line");
  CLI::Option *verboseOption =
      app.add_flag("-v,--verbose", verbose, "Print every status line with its time and progress value");
  quietOption->excludes(verboseOption);
  app.add_option("--lang", language,
                 "Language of the messages: zh or en (default: by LC_ALL, LC_MESSAGES, LANG)")
      ->check(CLI::IsMember({"zh", "en"}));

  CliOptions options;
  std::string link;
  std::vector<std::string> portArgs;
  std::vector<std::string> linkNames;
  for (const LinkNaming &naming : kLinks) linkNames.emplace_back(naming.name);
  CLI::App *upgrade = app.add_subcommand("upgrade", "Upgrade the printer's firmware with IMAGE (a .upd file)");
  upgrade->add_option("--link", link, "The link to the printer")
      ->required()
      ->check(CLI::IsMember(linkNames));
  CLI::Option *portOption = upgrade->add_option(
      "--port", portArgs,
      "The printer. Serial: COMn or n (1 to " + std::to_string(platform::device_syntax::kLargestPortNumber) +
          ", no leading zeros), or any serial device node such as "
      "/dev/ttyAMA0 or /dev/serial/by-id/... (default: the first free COM port). USB: the id, serial number "
      "or port path (1-2.3) that `ports` shows, or the node /dev/usb/lpN (default: the first printer of a "
      "supported maker). Parallel: LPT1 to LPT3 or the node /dev/lpN (default: LPT1). Given several times: "
      "those printers, upgraded at once");
  portOption->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option *allOption =
      upgrade->add_flag("--all", options.all, "USB link only: upgrade every attached printer of a supported maker");
  allOption->excludes(portOption);
  upgrade->add_option("--jobs", options.jobs, "With several printers: upgrade at most N at once (default: all)")
      ->check(CLI::Range(1u, 1024u));
  CLI::Option *recordOption = upgrade->add_option(
      "--record", options.record, "Append one JSON line per printer to FILE: times, image, SHA-256, result");
  recordOption->type_name("FILE");
  const std::vector<unsigned> rates(std::begin(kDetectionRates), std::end(kDetectionRates));
  std::string rateList;
  for (const unsigned rate : rates) rateList += (rateList.empty() ? "" : ", ") + std::to_string(rate);
  upgrade->add_option("--baud", options.baud,
                      "Serial link only: try this rate first in both baud-rate detections (" + rateList +
                          "); the whole list follows when the printer does not answer at it")
      ->check(CLI::IsMember(rates));
  upgrade->add_flag("--check", options.check,
                    "Check everything up to the first frame and send nothing: the image, the ports, the "
                    "expected duration; exit 0 when every printer is ready");
  upgrade->add_option("--as-target", options.asTarget)->group("");  // a fleet's worker process
  upgrade->add_flag("--json", options.json, "One JSON object per line instead of text (docs/cli-json.md)");
  upgrade->add_option("IMAGE", options.image, "The firmware image file")->required();
  upgrade->footer(kExitStatusHelp);

  CLI::App *ports = app.add_subcommand(
      "ports", "List the serial ports, parallel ports and USB printers present, free or busy, with their nodes");
  ports->add_flag("--json", options.json, "One JSON object instead of text");
  CLI::App *info = app.add_subcommand(
      "info", "Show the image's size, version bytes, packet count and how long an upgrade takes on each link");
  info->add_option("IMAGE", options.image, "The firmware image file")->required();
  info->add_flag("--json", options.json, "One JSON object instead of text");
  // Set after the commands, which would inherit it: ports and info have the
  // short one.
  app.footer(kExitStatusHelp);
  ports->footer(kShortExitStatusHelp);
  info->footer(kShortExitStatusHelp);

  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  ParsedCommandLine parsed;
  parsed.jsonWanted = jsonWanted;
  try {
    app.parse(reversed);
  } catch (const CLI::Error &error) {
    std::ostringstream out, err;
    const int status = app.exit(error, out, err);
    if (status == 0) {
      parsed.outcome = error.get_name() == "CallForVersion" ? ParsedCommandLine::Outcome::kVersion
                                                             : ParsedCommandLine::Outcome::kHelp;
      parsed.text = out.str();
      return parsed;
    }
    // Without a command CLI11 only misses one; say what stands in its place.
    if (error.get_name() == "RequiredError" && !upgrade->parsed() && !ports->parsed() && !info->parsed()) {
      for (auto arg = args.begin(); arg != end; ++arg) {
        if (arg->rfind("--lang", 0) == 0) {
          if (*arg == "--lang") ++arg;
          if (arg == end) break;
          continue;
        }
        if (*arg == "-q" || *arg == "--quiet" || *arg == "-v" || *arg == "--verbose") continue;
        const bool option = !arg->empty() && arg->front() == '-';
        return UsageError((option ? "unknown option '" : "unknown command '") + *arg +
                              "' (the commands: upgrade, ports, info)",
                          jsonWanted);
      }
    }
    return UsageError(error.what(), jsonWanted);
  }

  if (upgrade->parsed()) {
    options.command = Command::kUpgrade;
    for (const LinkNaming &naming : kLinks) {
      if (link == naming.name) options.link = naming.link;
    }
    if (portOption->count() > 0) {
      for (const std::string &port : portArgs) {
        if (port.empty()) return UsageError("--port needs a value: a port name, an id or a device node", jsonWanted);
      }
      for (size_t i = 0; i < portArgs.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
          if (portArgs[i] == portArgs[j]) return UsageError("--port " + portArgs[i] + " is given twice", jsonWanted);
        }
      }
      options.ports = portArgs;
      if (portArgs.size() == 1) options.port = portArgs.front();
    }
    if (options.all && options.link != Link::kUsb) {
      return UsageError("--all is for the USB link only: probing unknown serial or parallel devices with boot "
                        "frames is unsafe; name the ports with --port",
                        jsonWanted);
    }
    if (options.baud != 0 && options.link != Link::kSerial) {
      return UsageError("--baud is for the serial link only", jsonWanted);
    }
  } else if (ports->parsed()) {
    options.command = Command::kPorts;
  } else if (info->parsed()) {
    options.command = Command::kInfo;
  }
  options.verbosity = quiet ? Verbosity::kQuiet : verbose ? Verbosity::kVerbose : Verbosity::kNormal;
  if (!language.empty()) options.language = LanguageNamed(language);
  parsed.outcome = ParsedCommandLine::Outcome::kRun;
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace velloran::cli
