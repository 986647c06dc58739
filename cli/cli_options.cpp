// The command line: subcommands, options and help with CLI11.
#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "baud_detection.h"
#include "cli_language.h"
#include "device_name_syntax.h"
#include "printable_text.h"
#include "velloran_version.h"

namespace velloran::cli {
namespace {

// The links as --link names them.
struct LinkNaming {
  const char *name;
  Link link;
};
constexpr LinkNaming kLinks[] = {{"usb", Link::kUsb}, {"serial", Link::kSerial}, {"lpt", Link::kLpt}};

ParsedCommandLine UsageError(Message why, bool json, Language language) {
  ParsedCommandLine parsed;
  parsed.outcome = ParsedCommandLine::Outcome::kUsageError;
  parsed.problem = std::move(why);
  parsed.jsonWanted = json;
  parsed.language = language;
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
  const Language lang = LanguageOfArguments(args);
  const auto text = [lang](std::string_view id, std::initializer_list<MessageArg> values = {}) {
    return CatalogText(id, lang, values);
  };
  const auto usage = [&](Message why) { return UsageError(std::move(why), jsonWanted, lang); };
  ValueProblem problem;

  CLI::App app(text("help_program"), "velloran-cli");
  app.set_version_flag("--version", VersionLine(), text("help_version"));
  app.require_subcommand(1);
  app.fallthrough();  // the common options may also follow the command
  // "/dev/..." and "/home/.../fw.upd" are paths on Windows too, not options.
  app.allow_windows_style_options(false);
  bool quiet = false;
  bool verbose = false;
  std::string language;
  CLI::Option *quietOption = app.add_flag("-q,--quiet", quiet, text("help_quiet"));
  CLI::Option *verboseOption = app.add_flag("-v,--verbose", verbose, text("help_verbose"));
  quietOption->excludes(verboseOption);
  app.add_option("--lang", language, text("help_lang"))->check(OneOf("--lang", {"zh", "en"}, problem));

  CliOptions options;
  std::string link;
  std::vector<std::string> portArgs;
  std::vector<std::string> linkNames;
  for (const LinkNaming &naming : kLinks) linkNames.emplace_back(naming.name);
  CLI::App *upgrade = app.add_subcommand("upgrade", text("help_upgrade"));
  upgrade->add_option("--link", link, text("help_link"))->required()->check(OneOf("--link", linkNames, problem));
  CLI::Option *portOption = upgrade->add_option(
      "--port", portArgs, text("help_port", {{"largest", std::to_string(platform::device_syntax::kLargestPortNumber)}}));
  portOption->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  CLI::Option *allOption = upgrade->add_flag("--all", options.all, text("help_all"));
  allOption->excludes(portOption);
  upgrade->add_option("--jobs", options.jobs, text("help_jobs"))->check(Between("--jobs", 1, 1024, lang, problem));
  upgrade->add_option("--record", options.record, text("help_record"))->type_name("FILE");
  std::vector<std::string> rates;
  std::string rateList;
  for (const unsigned rate : kDetectionRates) {
    rates.push_back(std::to_string(rate));
    rateList += (rateList.empty() ? "" : ", ") + rates.back();
  }
  upgrade->add_option("--baud", options.baud, text("help_baud", {{"rates", rateList}}))
      ->check(OneOf("--baud", rates, problem));
  upgrade->add_flag("--check", options.check, text("help_check"));
  upgrade->add_option("--as-target", options.asTarget)->group("");  // a fleet's worker process
  upgrade->add_flag("--json", options.json, text("help_json_lines"));
  upgrade->add_option("IMAGE", options.image, text("help_image"))->required();
  upgrade->footer(text("help_exit_status"));

  CLI::App *ports = app.add_subcommand("ports", text("help_ports"));
  ports->add_flag("--json", options.json, text("help_json_object"));
  CLI::App *info = app.add_subcommand("info", text("help_info"));
  info->add_option("IMAGE", options.image, text("help_image"))->required();
  info->add_flag("--json", options.json, text("help_json_object"));
  // Set after the commands, which would inherit it: ports and info have the
  // short one.
  app.footer(text("help_exit_status"));
  ports->footer(text("help_exit_status_short"));
  info->footer(text("help_exit_status_short"));
  TranslateHelp(app, lang);

  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  ParsedCommandLine parsed;
  parsed.jsonWanted = jsonWanted;
  parsed.language = lang;
  try {
    app.parse(reversed);
  } catch (const CLI::Error &error) {
    std::ostringstream out, err;
    if (error.get_exit_code() == 0) {
      app.exit(error, out, err);
      parsed.outcome = dynamic_cast<const CLI::CallForVersion *>(&error) != nullptr ? ParsedCommandLine::Outcome::kVersion
                                                             : ParsedCommandLine::Outcome::kHelp;
      parsed.text = out.str();
      return parsed;
    }
    // Without a command CLI11 only misses one; say what stands in its place.
    if (dynamic_cast<const CLI::RequiredError *>(&error) != nullptr && app.get_subcommands().empty()) {
      for (auto arg = args.begin(); arg != end; ++arg) {
        if (arg->rfind("--lang", 0) == 0) {
          if (*arg == "--lang") ++arg;
          if (arg == end) break;
          continue;
        }
        if (*arg == "-q" || *arg == "--quiet" || *arg == "-v" || *arg == "--verbose") continue;
        const bool option = !arg->empty() && arg->front() == '-';
        return usage(CliMessage(option ? "usage_unknown_option_no_command" : "usage_unknown_command",
                                {{option ? "option" : "command", PrintableText(*arg)}}));
      }
      return usage(CliMessage("usage_no_command"));
    }
    return usage(ParseErrorMessage(error, app, problem));
  }

  if (upgrade->parsed()) {
    options.command = Command::kUpgrade;
    for (const LinkNaming &naming : kLinks) {
      if (link == naming.name) options.link = naming.link;
    }
    if (portOption->count() > 0) {
      if (std::ranges::find(portArgs, "") != portArgs.end()) return usage(CliMessage("usage_port_empty"));
      for (auto port = portArgs.begin(); port != portArgs.end(); ++port) {
        if (std::find(portArgs.begin(), port, *port) != port)
          return usage(CliMessage("usage_port_twice", {{"port", PrintableText(*port)}}));
      }
      options.ports = portArgs;
      if (portArgs.size() == 1) options.port = portArgs.front();
    }
    if (options.all && options.link != Link::kUsb) return usage(CliMessage("usage_all_not_usb"));
    if (options.baud != 0 && options.link != Link::kSerial) return usage(CliMessage("usage_baud_not_serial"));
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
