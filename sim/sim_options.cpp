#include "sim_options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

#include "frame.h"
#include "pty.h"
#include "velloran_version.h"

namespace velloran::sim {
namespace {

constexpr struct {
  const char *name;
  uint8_t code;
} kCommands[] = {
    {"PROBE", CMD_PROBE},   {"ERASE", CMD_ERASE},   {"DATA", CMD_DATA},
    {"ENTER_BOOT", CMD_ENTER_BOOT}, {"FINISH", CMD_FINISH}, {"VERSION", CMD_VERSION},
};

// The links and the help group of the options that only their printer takes.
constexpr struct {
  const char *name;
  SimLink link;
  const char *group;
  const char *printer;
} kLinks[] = {{"serial", SimLink::kSerial, "Serial printer", "serial"},
              {"usb", SimLink::kUsb, "USB printer", "USB"},
              {"lpt", SimLink::kLpt, "Parallel-port printer", "parallel-port"}};

constexpr char kDescription[] = R"(A printer boot loader on a pseudo-terminal, for trying the upgrade tool
without a printer. It prints where it listens and the environment to give
the tool, then one line per frame it receives, until Ctrl-C (SIGINT,
SIGTERM or SIGHUP) or, with --exit-after-finish, the end of an upgrade.

  serial   answers only while the tool's line speed is the printer's rate
  usb      builds a fake sysfs and /dev tree whose usb/lp0 node is the
           pseudo-terminal; answers at any line speed (the tree is removed
           on exit; one left by a killed simulator goes at the next start)
  lpt      takes the frames and never answers (mapped as LPT1)

Alone, velloran-sim --version prints the program's release.
)";

constexpr char kFooter[] = R"(Faults of --fail WHERE:FAULT[,FAULT...]:
  WHERE  cmd=NAME|CODE (probe, erase, data, boot, finish, version),
         step=N (Nth frame), packet=N (Nth data packet)
  FAULT  status=N    answer this status
         bad-crc     answer with a wrong checksum
         no-reply    answer nothing
         split=A+B   cut the reply before offsets A, B
         gap=MS      pause between the pieces
         delay=MS    pause before the reply

Examples:
  velloran-sim serial --baud 19200 --wire-time --image-out flashed.bin
  velloran-sim usb --fail cmd=version:status=7
  velloran-sim serial --fail packet=1:split=4,gap=50
  velloran-sim lpt --stall-after-packets 3
)";

// Digits only, in the given base: no sign, prefix, space or overflow.
template <class T>
std::optional<T> ParseNumber(const std::string &text, int base = 10) {
  T value{};
  const char *end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || failure != std::errc() || stop != end) return std::nullopt;
  return value;
}

// An option's number, refused (CLI11 names the option) when it is none or
// above most.
template <class T>
T Number(const std::string &text, uint64_t most = std::numeric_limits<T>::max()) {
  const auto value = ParseNumber<uint64_t>(text);
  if (!value) throw CLI::ValidationError("\"" + text + "\" is not a number");
  if (*value > most) throw CLI::ValidationError(text + " is more than " + std::to_string(most));
  return static_cast<T>(*value);
}

unsigned BaudRate(const std::string &text) {
  const auto baud = Number<unsigned>(text);
  if (baud > 921600 || !SpeedOfBaud(baud)) throw CLI::ValidationError(text + " is not a standard baud rate");
  return baud;
}

uint16_t UsbId(const std::string &text) {
  const auto id = ParseNumber<uint64_t>(text, 16);
  if (!id || *id > 0xFFFF) throw CLI::ValidationError("\"" + text + "\" is not four hexadecimal digits");
  return static_cast<uint16_t>(*id);
}

std::string OneLine(const std::string &text) {
  if (text.empty() || text.find('\n') != std::string::npos) throw CLI::ValidationError("wants one line of text");
  return text;
}

// A command given by name (any case, "boot" for ENTER_BOOT) or by code
// (decimal or 0x hexadecimal).
std::optional<uint8_t> ParseCommand(std::string text) {
  for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (text == "BOOT") return CMD_ENTER_BOOT;
  for (const auto &command : kCommands)
    if (text == command.name) return command.code;
  if (text.rfind("0X", 0) == 0) return ParseNumber<uint8_t>(text.substr(2), 16);
  return ParseNumber<uint8_t>(text);
}

std::vector<std::string> Split(const std::string &text, char separator) {
  std::vector<std::string> parts;
  for (size_t begin = 0, end = 0; end != std::string::npos; begin = end + 1) {
    end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end - begin));
  }
  return parts;
}

bool ParseFaultPart(const std::string &part, ReplyFault &fault) {
  if (part == "bad-crc" || part == "no-reply") {
    (part == "bad-crc" ? fault.corruptChecksum : fault.noReply) = true;
    return true;
  }
  // Without "=" key and value are the whole part, which is then refused:
  // no key is a number.
  const size_t equals = part.find('=');
  const std::string key = part.substr(0, equals);
  const std::string value = part.substr(equals + 1);
  if (key == "split") {
    for (const std::string &point : Split(value, '+')) {
      const auto offset = ParseNumber<size_t>(point);
      if (!offset || *offset == 0 || (!fault.splitPoints.empty() && *offset <= fault.splitPoints.back()))
        return false;
      fault.splitPoints.push_back(*offset);
    }
    return true;
  }
  const auto number = ParseNumber<unsigned>(value);
  if (!number) return false;
  if (key == "status" && *number <= 0xFF) fault.status = static_cast<uint8_t>(*number);
  else if (key == "gap" || key == "delay")
    (key == "gap" ? fault.pieceGap : fault.delay) = std::chrono::milliseconds(*number);
  else return false;
  return true;
}

FaultSpec ParseFault(const std::string &text) {
  const size_t colon = text.find(':');
  const size_t equals = text.find('=');
  if (colon == std::string::npos || equals == std::string::npos || equals > colon)
    throw CLI::ValidationError("wants WHERE:FAULT, for example cmd=version:status=7 (got \"" + text + "\")");
  FaultSpec spec;
  const std::string scope = text.substr(0, equals);
  const std::string where = text.substr(equals + 1, colon - equals - 1);
  std::optional<uint32_t> number;
  if (scope == "cmd") {
    spec.scope = FaultSpec::Scope::kCommand;
    if (const auto command = ParseCommand(where)) number = *command;
  } else if (scope == "step" || scope == "packet") {
    spec.scope = scope == "step" ? FaultSpec::Scope::kStep : FaultSpec::Scope::kPacket;
    number = ParseNumber<uint32_t>(where);
    if (number == 0u) number.reset();
  }
  if (!number)
    throw CLI::ValidationError("\"" + scope + "=" + where +
                               "\" is no place for a fault (cmd=NAME|CODE, step=N or packet=N, counted from 1)");
  spec.number = *number;
  for (const std::string &part : Split(text.substr(colon + 1), ','))
    if (!ParseFaultPart(part, spec.fault))
      throw CLI::ValidationError("unknown fault \"" + part +
                                 "\" (status=N, bad-crc, no-reply, split=A+B, gap=MS, delay=MS)");
  return spec;
}

// Every option sets options as it is read (a repeated one: its last value;
// --fail adds up). The group of an option in the help is the printer it is for.
void DescribeOptions(CLI::App &app, SimOptions &options) {
  app.allow_windows_style_options(false);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  using Text = const std::string &;
  std::string group = "Options";
  auto value = [&](const char *name, const char *type, const char *help, std::function<void(Text)> set) {
    return app.add_option(name)->type_name(type)->group(group)->description(help)->each(std::move(set));
  };
  auto flag = [&](const char *name, const char *help, std::function<void()> set) {
    app.add_flag_callback(name, std::move(set), help)->group(group);
  };
  value("LINK", "serial|usb|lpt", "the printer's port", [&](Text name) {
    for (const auto &link : kLinks)
      if (name == link.name) return void(options.link = link.link);
    throw CLI::ValidationError("unknown port \"" + name + "\": serial, usb or lpt");
  })->required();

  group = kLinks[0].group;
  value("--baud", "N", "the printer's rate (default 115200)", [&](Text text) { options.baud = BaudRate(text); });
  flag("--wire-time", "bytes take 10 bits / baud seconds each way", [&] { options.wireTime = true; });
  value("--baud-after-boot", "N", "switch to rate N once boot mode is entered",
        [&](Text text) { options.baudAfterBoot = BaudRate(text); });
  value("--com-name", "COMn", "the port name to map to the pseudo-terminal (default COM5)", [&](Text text) {
    if (text.size() < 4 || text.rfind("COM", 0) != 0 || !ParseNumber<unsigned>(text.substr(3)))
      throw CLI::ValidationError("wants a name such as COM5");
    options.comName = text;
  });

  group = kLinks[1].group;
  value("--vendor", "HEX", "USB vendor id (default 067b)", [&](Text text) { options.vendorId = UsbId(text); });
  value("--product", "HEX", "USB product id (default 2305)", [&](Text text) { options.productId = UsbId(text); });
  value("--minor", "N", "the N of usb/lpN (default 0)",
        [&](Text text) { options.minor = Number<unsigned>(text, 255); });
  value("--tree", "DIR", "build in DIR, beside other simulated printers there\n"
        "(kept on exit; only this printer's entries go)", [&](Text text) { options.usbTree = OneLine(text); });
  value("--port-path", "P", "the device's port path (default 1-1)", [&](Text text) {
    if (OneLine(text).find_first_of("/: ") != std::string::npos)
      throw CLI::ValidationError("wants a path such as 1-2.3");
    options.portPath = text;
  });
  value("--serial", "TEXT", "the serial number the device reports (default none)",
        [&](Text text) { options.serialNumber = OneLine(text); });
  value("--ieee1284", "TEXT", "the IEEE 1284 device id usblp shows (default none)",
        [&](Text text) { options.ieee1284 = OneLine(text); });
  value("--reenumerate", "N:MS", "after the first boot switch leave the bus and come\n"
        "back as usb/lpN MS milliseconds later", [&](Text text) {
    const size_t colon = text.find(':');
    const auto minor = ParseNumber<unsigned>(text.substr(0, colon));
    const auto delay = colon == std::string::npos ? std::nullopt : ParseNumber<unsigned>(text.substr(colon + 1));
    if (!minor || !delay || *minor > 255) throw CLI::ValidationError("wants N:MS, such as 5:3500");
    options.reenumeration = UsbReenumeration{*minor, *delay};
  });

  group = kLinks[2].group;
  value("--stall-after-bytes", "N", "stop taking bytes after N (0: take nothing)",
        [&](Text text) { options.stallAfterBytes = Number<uint64_t>(text); });

  group = "Boot loader";
  value("--stall-after-packets", "N", "answer nothing after N data packets\n"
        "(parallel port: stop taking bytes after them)",
        [&](Text text) { options.stallAfterPackets = Number<uint32_t>(text); });
  value("--packet-size", "N", "packet size the boot reply announces (default 512)", [&](Text text) {
    const auto bytes = PacketSizeBytes(Number<uint32_t>(text));
    if (!bytes) throw CLI::ValidationError("no boot reply announces " + text + " bytes");
    std::tie(options.model.packetSizeBase, options.model.packetSizeExponent) = *bytes;
  });
  value("--version", "XXXX|any", "version bytes accepted, hexadecimal (default any)", [&](Text text) {
    const auto version = text.size() == 4 ? ParseNumber<uint16_t>(text, 16) : std::nullopt;
    if (text == "any") return options.model.expectedVersion.reset();
    if (!version) throw CLI::ValidationError("wants four hexadecimal digits (the two version bytes) or any");
    options.model.expectedVersion = std::array{static_cast<uint8_t>(*version >> 8), static_cast<uint8_t>(*version)};
  });
  flag("--no-boot-check", "accept every command outside boot mode", [&] { options.model.requireBootMode = false; });
  flag("--no-erase-check", "accept data before the erase", [&] { options.model.requireErase = false; });
  value("--fail", "WHERE:FAULT[,FAULT...]", "spoil replies (repeatable; see below)",
        [&](Text text) { options.faults.push_back(ParseFault(text)); });

  group = "Output";
  value("--image-out", "FILE", "write the flashed image to FILE on exit", [&](Text text) { options.imageOut = text; });
  flag("--exit-after-finish", "exit once an upgrade has finished", [&] { options.exitAfterFinish = true; });
  app.footer(kFooter);
}

}  // namespace

std::optional<std::pair<uint8_t, uint8_t>> PacketSizeBytes(uint32_t size) {
  if (size == 0) return std::pair<uint8_t, uint8_t>{0, 0};
  // Prefer exponent 0 (shift 8), as printers announce it; then any shift.
  for (unsigned i = 0; i < 32; ++i) {
    const unsigned shift = (i + 8) % 32;
    const uint32_t base = size >> shift;
    if (base <= 0xFF && (base << shift) == size)
      return std::pair{static_cast<uint8_t>(base), static_cast<uint8_t>(i)};
  }
  return std::nullopt;
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string> &args, std::string *error) {
  SimOptions options;
  // Before the port --version asks for the release; after it, it sets the
  // version bytes the printer accepts.
  if (!args.empty() && args.front() == "--version") {
    options.helpOrVersion = std::string("velloran-sim ") + kVersion + "\n";
    return options;
  }
  CLI::App app("", "velloran-sim");
  DescribeOptions(app, options);
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));  // CLI11 takes them last first
  } catch (const CLI::CallForHelp &) {
    // The usage line first, then what the program does.
    options.helpOrVersion = app.help();
    options.helpOrVersion.insert(options.helpOrVersion.find('\n') + 1, std::string("\n") + kDescription);
    return options;
  } catch (const CLI::Error &failure) {
    *error = failure.what();
    return std::nullopt;
  }
  for (const CLI::Option *option : app.get_options())
    for (const auto &link : kLinks)
      if (option->count() > 0 && option->get_group() == link.group && options.link != link.link) {
        *error = option->get_name() + " applies to the " + link.printer + " printer only";
        return std::nullopt;
      }
  return options;
}

void ApplyFaults(const SimOptions &options, BootLoaderModel &model) {
  for (const FaultSpec &spec : options.faults) {
    if (spec.scope == FaultSpec::Scope::kCommand) model.FailCommand(static_cast<uint8_t>(spec.number), spec.fault);
    if (spec.scope == FaultSpec::Scope::kStep) model.FailStep(spec.number, spec.fault);
    if (spec.scope == FaultSpec::Scope::kPacket) model.FailPacket(spec.number, spec.fault);
  }
  // On the parallel port the stall is the port's: the printer stops taking bytes.
  if (options.stallAfterPackets && options.link != SimLink::kLpt) model.StallAfterPackets(*options.stallAfterPackets);
}

std::string CommandName(uint8_t command) {
  for (const auto &known : kCommands)
    if (known.code == command) return known.name;
  char text[16];
  std::snprintf(text, sizeof text, "CMD_0x%02X", command);
  return text;
}

}  // namespace velloran::sim
