// Dispatch of velloran-cli's commands.
#include <string>
#include <vector>

#include "commands.h"
#include "velloran_version.h"

namespace velloran::cli {

int RunCli(int argc, char **argv, std::ostream &out, std::ostream &err, bool outIsTerminal) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseCliOptions(args, &error);
  if (!options) {
    err << "velloran-cli: " << error << "\n" << CliUsage();
    return kExitUsage;
  }
  switch (options->command) {
    case Command::kHelp: out << CliUsage(); return kExitOk;
    case Command::kVersion: out << "velloran-cli " << kVersion << "\n"; return kExitOk;
    case Command::kPorts: return RunPorts(out);
    case Command::kInfo: return RunInfo(*options, out, err);
    case Command::kUpgrade: return RunUpgrade(*options, out, err, outIsTerminal);
  }
  return kExitUsage;
}

}  // namespace velloran::cli
