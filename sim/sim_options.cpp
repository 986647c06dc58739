#include "sim_options.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "frame.h"
#include "pty.h"

namespace velloran::sim {
namespace {

constexpr struct {
  const char *name;
  uint8_t code;
} kCommands[] = {
    {"PROBE", CMD_PROBE},   {"ERASE", CMD_ERASE},   {"DATA", CMD_DATA},
    {"ENTER_BOOT", CMD_ENTER_BOOT}, {"FINISH", CMD_FINISH}, {"VERSION", CMD_VERSION},
};

template <class T>
std::optional<T> ParseNumber(const std::string &text, int base = 10) {
  T value{};
  const char *end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || failure != std::errc() || stop != end) return std::nullopt;
  return value;
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
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

bool ParseFaultPart(const std::string &part, ReplyFault &fault) {
  const size_t equals = part.find('=');
  const std::string key = part.substr(0, equals);
  const std::string value = equals == std::string::npos ? "" : part.substr(equals + 1);
  if (equals == std::string::npos) {
    if (key == "bad-crc") fault.corruptChecksum = true;
    else if (key == "no-reply") fault.noReply = true;
    else return false;
    return true;
  }
  if (key == "status") {
    const auto status = ParseNumber<uint8_t>(value);
    if (!status) return false;
    fault.status = *status;
  } else if (key == "split") {
    for (const std::string &point : Split(value, '+')) {
      const auto offset = ParseNumber<size_t>(point);
      if (!offset || *offset == 0 || (!fault.splitPoints.empty() && *offset <= fault.splitPoints.back()))
        return false;
      fault.splitPoints.push_back(*offset);
    }
  } else if (key == "gap" || key == "delay") {
    const auto ms = ParseNumber<unsigned>(value);
    if (!ms) return false;
    (key == "gap" ? fault.pieceGap : fault.delay) = std::chrono::milliseconds(*ms);
  } else {
    return false;
  }
  return true;
}

std::optional<FaultSpec> ParseFault(const std::string &text, std::string *error) {
  const size_t colon = text.find(':');
  const size_t equals = text.find('=');
  if (colon == std::string::npos || equals == std::string::npos || equals > colon) {
    *error = "--fail wants WHERE:FAULT, for example cmd=version:status=7 (got \"" + text + "\")";
    return std::nullopt;
  }
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
  if (!number) {
    *error = "--fail: \"" + scope + "=" + where +
             "\" is no place for a fault (cmd=NAME|CODE, step=N or packet=N, counted from 1)";
    return std::nullopt;
  }
  spec.number = *number;
  for (const std::string &part : Split(text.substr(colon + 1), ',')) {
    if (!ParseFaultPart(part, spec.fault)) {
      *error = "--fail: unknown fault \"" + part + "\" (status=N, bad-crc, no-reply, split=A+B, gap=MS, delay=MS)";
      return std::nullopt;
    }
  }
  return spec;
}

}  // namespace

std::optional<std::pair<uint8_t, uint8_t>> PacketSizeBytes(uint32_t size) {
  if (size == 0) return std::pair<uint8_t, uint8_t>{0, 0};
  // Prefer exponent 0 (shift 8), as printers announce it; then any shift.
  for (unsigned i = 0; i < 32; ++i) {
    const unsigned shift = (i + 8) % 32;
    const uint32_t base = size >> shift;
    if (base <= 0xFF && (base << shift) == size) return std::pair<uint8_t, uint8_t>{static_cast<uint8_t>(base), static_cast<uint8_t>(i)};
  }
  return std::nullopt;
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string> &args, std::string *error) {
  SimOptions options;
  size_t i = 0;
  if (i < args.size() && (args[i] == "--help" || args[i] == "-h")) {
    options.help = true;
    return options;
  }
  // After the port, --version sets the version bytes the printer accepts.
  if (i < args.size() && args[i] == "--version") {
    options.version = true;
    return options;
  }
  if (i >= args.size()) {
    *error = "say which port: serial, usb or lpt";
    return std::nullopt;
  }
  const std::string link = args[i++];
  if (link == "serial") options.link = SimLink::kSerial;
  else if (link == "usb") options.link = SimLink::kUsb;
  else if (link == "lpt") options.link = SimLink::kLpt;
  else {
    *error = "unknown port \"" + link + "\": serial, usb or lpt";
    return std::nullopt;
  }

  auto fail = [&](const std::string &text) {
    *error = text;
    return std::nullopt;
  };
  auto only = [&](const std::string &option, SimLink wanted, const char *what) {
    if (options.link == wanted) return true;
    *error = option + " applies to the " + what + " printer only";
    return false;
  };

  while (i < args.size()) {
    const std::string option = args[i++];
    auto value = [&]() -> std::optional<std::string> {
      if (i < args.size()) return args[i++];
      *error = option + " wants a value";
      return std::nullopt;
    };
    auto number = [&](int base = 10) -> std::optional<uint64_t> {
      const auto text = value();
      if (!text) return std::nullopt;
      const auto parsed = ParseNumber<uint64_t>(*text, base);
      if (!parsed) *error = option + ": \"" + *text + "\" is not a number";
      return parsed;
    };
    auto rate = [&]() -> std::optional<unsigned> {
      const auto baud = number();
      if (baud && (*baud > 921600 || !SpeedOfBaud(static_cast<unsigned>(*baud)))) {
        *error = option + ": " + std::to_string(*baud) + " is not a standard baud rate";
        return std::nullopt;
      }
      return baud ? std::optional<unsigned>(static_cast<unsigned>(*baud)) : std::nullopt;
    };

    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--baud" || option == "--baud-after-boot") {
      if (!only(option, SimLink::kSerial, "serial")) return std::nullopt;
      const auto baud = rate();
      if (!baud) return std::nullopt;
      (option == "--baud" ? options.baud : options.baudAfterBoot.emplace()) = *baud;
    } else if (option == "--wire-time") {
      if (!only(option, SimLink::kSerial, "serial")) return std::nullopt;
      options.wireTime = true;
    } else if (option == "--com-name") {
      if (!only(option, SimLink::kSerial, "serial")) return std::nullopt;
      const auto name = value();
      if (!name) return std::nullopt;
      if (name->size() < 4 || name->rfind("COM", 0) != 0 || !ParseNumber<unsigned>(name->substr(3)))
        return fail("--com-name wants a name such as COM5");
      options.comName = *name;
    } else if (option == "--vendor" || option == "--product") {
      if (!only(option, SimLink::kUsb, "USB")) return std::nullopt;
      const auto id = number(16);
      if (!id) return std::nullopt;
      if (*id > 0xFFFF) return fail(option + " wants four hexadecimal digits");
      (option == "--vendor" ? options.vendorId : options.productId) = static_cast<uint16_t>(*id);
    } else if (option == "--minor") {
      if (!only(option, SimLink::kUsb, "USB")) return std::nullopt;
      const auto minor = number();
      if (!minor) return std::nullopt;
      if (*minor > 255) return fail("--minor wants 0 to 255");
      options.minor = static_cast<unsigned>(*minor);
    } else if (option == "--tree" || option == "--port-path" || option == "--serial" || option == "--ieee1284") {
      if (!only(option, SimLink::kUsb, "USB")) return std::nullopt;
      const auto text = value();
      if (!text) return std::nullopt;
      if (text->empty() || text->find('\n') != std::string::npos) return fail(option + " wants one line of text");
      if (option == "--port-path" && text->find_first_of("/: ") != std::string::npos)
        return fail("--port-path wants a path such as 1-2.3");
      (option == "--tree"        ? options.usbTree
       : option == "--port-path" ? options.portPath
       : option == "--serial"    ? options.serialNumber
                                 : options.ieee1284) = *text;
    } else if (option == "--reenumerate") {
      if (!only(option, SimLink::kUsb, "USB")) return std::nullopt;
      const auto text = value();
      if (!text) return std::nullopt;
      const size_t colon = text->find(':');
      const auto minor = colon == std::string::npos ? std::nullopt : ParseNumber<unsigned>(text->substr(0, colon));
      const auto delay = colon == std::string::npos ? std::nullopt : ParseNumber<unsigned>(text->substr(colon + 1));
      if (!minor || !delay || *minor > 255) return fail("--reenumerate wants N:MS, such as 5:3500");
      options.reenumeration = UsbReenumeration{*minor, *delay};
    } else if (option == "--stall-after-bytes") {
      if (!only(option, SimLink::kLpt, "parallel-port")) return std::nullopt;
      const auto count = number();
      if (!count) return std::nullopt;
      options.stallAfterBytes = *count;
    } else if (option == "--stall-after-packets") {
      const auto count = number();
      if (!count) return std::nullopt;
      if (*count > UINT32_MAX) return fail("--stall-after-packets: too many");
      options.stallAfterPackets = static_cast<uint32_t>(*count);
    } else if (option == "--packet-size") {
      const auto size = number();
      if (!size) return std::nullopt;
      const auto bytes = *size <= UINT32_MAX ? PacketSizeBytes(static_cast<uint32_t>(*size)) : std::nullopt;
      if (!bytes) return fail("--packet-size: no boot reply announces " + std::to_string(*size) + " bytes");
      options.model.packetSizeBase = bytes->first;
      options.model.packetSizeExponent = bytes->second;
    } else if (option == "--version") {
      const auto text = value();
      if (!text) return std::nullopt;
      if (*text == "any") {
        options.model.expectedVersion.reset();
      } else {
        const auto version = text->size() == 4 ? ParseNumber<uint16_t>(*text, 16) : std::nullopt;
        if (!version) return fail("--version wants four hexadecimal digits (the two version bytes) or any");
        options.model.expectedVersion = std::array<uint8_t, 2>{static_cast<uint8_t>(*version >> 8),
                                                               static_cast<uint8_t>(*version & 0xFF)};
      }
    } else if (option == "--no-boot-check") {
      options.model.requireBootMode = false;
    } else if (option == "--no-erase-check") {
      options.model.requireErase = false;
    } else if (option == "--fail") {
      const auto text = value();
      if (!text) return std::nullopt;
      const auto spec = ParseFault(*text, error);
      if (!spec) return std::nullopt;
      options.faults.push_back(*spec);
    } else if (option == "--image-out") {
      const auto file = value();
      if (!file) return std::nullopt;
      options.imageOut = *file;
    } else if (option == "--exit-after-finish") {
      options.exitAfterFinish = true;
    } else {
      return fail("unknown option \"" + option + "\"");
    }
  }
  return options;
}

void ApplyFaults(const SimOptions &options, BootLoaderModel &model) {
  for (const FaultSpec &spec : options.faults) {
    switch (spec.scope) {
      case FaultSpec::Scope::kCommand:
        model.FailCommand(static_cast<uint8_t>(spec.number), spec.fault);
        break;
      case FaultSpec::Scope::kStep:
        model.FailStep(spec.number, spec.fault);
        break;
      case FaultSpec::Scope::kPacket:
        model.FailPacket(spec.number, spec.fault);
        break;
    }
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

const char *SimUsage() {
  return R"(Usage: velloran-sim serial|usb|lpt [options]
  or:  velloran-sim --help | --version

A printer boot loader on a pseudo-terminal, for trying the upgrade tool
without a printer. It prints where it listens and the environment to give
the tool, then one line per frame it receives, until Ctrl-C (SIGINT,
SIGTERM or SIGHUP) or, with --exit-after-finish, the end of an upgrade.

  serial   answers only while the tool's line speed is the printer's rate
  usb      builds a fake sysfs and /dev tree whose usb/lp0 node is the
           pseudo-terminal; answers at any line speed (the tree is removed
           on exit; one left by a killed simulator goes at the next start)
  lpt      takes the frames and never answers (mapped as LPT1)

Serial printer:
  --baud N               the printer's rate (default 115200)
  --wire-time            bytes take 10 bits / baud seconds each way
  --baud-after-boot N    switch to rate N once boot mode is entered
  --com-name COMn        the port name to map to the pseudo-terminal (default COM5)
USB printer:
  --vendor HEX           USB vendor id (default 067b)
  --product HEX          USB product id (default 2305)
  --minor N              the N of usb/lpN (default 0)
  --tree DIR             build in DIR, beside other simulated printers there
                         (kept on exit; only this printer's entries go)
  --port-path P          the device's port path (default 1-1)
  --serial TEXT          the serial number the device reports (default none)
  --ieee1284 TEXT        the IEEE 1284 device id usblp shows (default none)
  --reenumerate N:MS     after the first boot switch leave the bus and come
                         back as usb/lpN MS milliseconds later
Parallel-port printer:
  --stall-after-bytes N  stop taking bytes after N (0: take nothing)
  --stall-after-packets N  stop taking bytes after N data packets
                           (serial, usb: answer nothing after N packets)
Boot loader:
  --packet-size N        packet size the boot reply announces (default 512)
  --version XXXX|any     version bytes accepted, hexadecimal (default any)
  --no-boot-check        accept every command outside boot mode
  --no-erase-check       accept data before the erase
  --fail WHERE:FAULT[,FAULT...]   spoil replies (repeatable)
         WHERE  cmd=NAME|CODE (probe, erase, data, boot, finish, version),
                step=N (Nth frame), packet=N (Nth data packet)
         FAULT  status=N    answer this status
                bad-crc     answer with a wrong checksum
                no-reply    answer nothing
                split=A+B   cut the reply before offsets A, B
                gap=MS      pause between the pieces
                delay=MS    pause before the reply
Output:
  --image-out FILE       write the flashed image to FILE on exit
  --exit-after-finish    exit once an upgrade has finished
  -h, --help             this text
Alone, --version prints the program's release.

Examples:
  velloran-sim serial --baud 19200 --wire-time --image-out flashed.bin
  velloran-sim usb --fail cmd=version:status=7
  velloran-sim serial --fail packet=1:split=4,gap=50
  velloran-sim lpt --stall-after-packets 3
)";
}

}  // namespace velloran::sim
