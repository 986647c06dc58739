// Parsing of velloran-cli's command line.
#include "cli_options.h"

namespace velloran::cli {
namespace {

std::optional<Link> ParseLink(const std::string &text) {
  if (text == "usb") return Link::kUsb;
  if (text == "serial") return Link::kSerial;
  if (text == "lpt") return Link::kLpt;
  return std::nullopt;
}

// Splits "--name=value" into name and value; value is nullopt without '='.
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string &arg) {
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) != 0 || equals == std::string::npos) return {arg, std::nullopt};
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

}  // namespace

const char *LinkName(Link link) {
  switch (link) {
    case Link::kUsb: return "usb";
    case Link::kSerial: return "serial";
    case Link::kLpt: return "lpt";
  }
  return "?";
}

const char *CliUsage() {
  return "usage:\n"
         "  velloran-cli upgrade --link usb|serial|lpt [--port P] [--json] IMAGE\n"
         "      Upgrades the printer's firmware with IMAGE (a .upd file).\n"
         "      --port   serial link only: COMn, n, or a device node such as\n"
         "               /dev/ttyUSB0 (default: the first free COM port)\n"
         "      --json   one JSON object per line instead of text\n"
         "  velloran-cli ports\n"
         "      Lists the COM ports that are present, free or busy, with their\n"
         "      device nodes.\n"
         "  velloran-cli info IMAGE\n"
         "      Shows the image's size, version bytes, packet count and how\n"
         "      long an upgrade takes on each link.\n"
         "  velloran-cli --version\n"
         "      Prints the program's release.\n"
         "Exit status: 0 upgrade completed, 1 failed, 2 bad usage.\n";
}

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string> &args, std::string *error) {
  auto fail = [&](std::string why) -> std::optional<CliOptions> {
    *error = std::move(why);
    return std::nullopt;
  };
  CliOptions options;
  if (args.empty()) return fail("no command given");
  const std::string &command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    options.command = Command::kHelp;
    return options;
  }
  if (command == "--version") {
    options.command = Command::kVersion;
    return options;
  }
  if (command == "upgrade") {
    options.command = Command::kUpgrade;
  } else if (command == "ports") {
    options.command = Command::kPorts;
  } else if (command == "info") {
    options.command = Command::kInfo;
  } else {
    return fail("unknown command '" + command + "'");
  }

  bool linkGiven = false;
  std::vector<std::string> operands;
  for (size_t i = 1; i < args.size(); ++i) {
    auto [name, inlineValue] = SplitOption(args[i]);
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    if (name == "-h" || name == "--help") {
      options.command = Command::kHelp;
      return options;
    }
    if (options.command == Command::kUpgrade && name == "--link") {
      const auto text = value();
      if (!text) return fail("--link needs a value: usb, serial or lpt");
      const auto link = ParseLink(*text);
      if (!link) return fail("unknown link '" + *text + "': use usb, serial or lpt");
      options.link = *link;
      linkGiven = true;
    } else if (options.command == Command::kUpgrade && name == "--port") {
      const auto text = value();
      if (!text || text->empty()) return fail("--port needs a value: COMn, n or a device node");
      options.port = *text;
    } else if (options.command == Command::kUpgrade && name == "--json" && !inlineValue) {
      options.json = true;
    } else if (name == "--") {
      operands.insert(operands.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (name.size() > 1 && name[0] == '-') {
      return fail("unknown option '" + args[i] + "' for " + command);
    } else {
      operands.push_back(args[i]);
    }
  }

  switch (options.command) {
    case Command::kUpgrade:
      if (!linkGiven) return fail("upgrade needs --link usb|serial|lpt");
      if (options.port && options.link != Link::kSerial)
        return fail(std::string("--port is for the serial link only; the ") + LinkName(options.link) +
                    " link finds its port itself");
      [[fallthrough]];
    case Command::kInfo:
      if (operands.empty()) return fail(command + " needs an IMAGE file");
      if (operands.size() > 1) return fail("one IMAGE file only; unexpected '" + operands[1] + "'");
      options.image = operands[0];
      break;
    case Command::kPorts:
      if (!operands.empty()) return fail("ports takes no arguments; unexpected '" + operands[0] + "'");
      break;
    case Command::kHelp:
    case Command::kVersion:
      break;
  }
  return options;
}

}  // namespace velloran::cli
