// Dispatch of velloran-cli's commands.
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "fleet_supervisor.h"

namespace velloran::cli {
namespace {

constexpr int kDefaultColumns = 80;

}  // namespace

OutputSettings SettingsFor(const CliOptions &options, const OutputTerminal &terminal) {
  OutputSettings settings;
  settings.json = options.json;
  settings.verbosity = options.verbosity;
  settings.language = options.language.value_or(LanguageFromEnvironment());
  settings.bar = terminal.isTerminal && !options.json && options.verbosity != Verbosity::kQuiet;
  settings.look.columns = terminal.columns > 0 ? terminal.columns : kDefaultColumns;
  settings.terminalColumns = terminal.columnsNow;
  settings.look.colour = ColourWanted(std::getenv("NO_COLOR"), std::getenv("TERM"));
  return settings;
}

int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err, const OutputTerminal &terminal) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedCommandLine parsed = ParseCommandLine(args);
  switch (parsed.outcome) {
    case ParsedCommandLine::Outcome::kHelp:
    case ParsedCommandLine::Outcome::kVersion: out << parsed.text; return kExitOk;
    case ParsedCommandLine::Outcome::kUsageError: {
      CliOptions options;
      options.json = parsed.jsonWanted;
      options.language = parsed.language;
      ConsoleReporter reporter(out, err, SettingsFor(options, {}));
      reporter.ReportError(CliMessage("bad_usage", {{"detail", parsed.problem}}));
      reporter.ReportResult(false, "bad_usage");
      return kExitUsage;
    }
    case ParsedCommandLine::Outcome::kRun: break;
  }
  const CliOptions &options = parsed.options;
  switch (options.command) {
    case Command::kPorts: return RunPorts(options, out);
    case Command::kInfo: return RunInfo(options, out, err);
    case Command::kUpgrade: {
      const OutputSettings settings = SettingsFor(options, terminal);
      if (!options.check && SeveralTargets(options)) return RunFleet(options, out, err, settings);
      ConsoleReporter reporter(out, err, settings);
      if (options.check) return RunCheck(options, reporter, out, settings);
      return RunUpgrade(options, reporter);
    }
  }
  return kExitUsage;
}

}  // namespace velloran::cli
