// The printer an upgrade goes to: its port chosen from the command line and
// checked the way the procedure will open it. The upgrade, the pre-flight
// check and a fleet's supervisor share it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "messages.h"
#include "port_advice.h"
#include "port_probe.h"

namespace velloran::cli {

// The port the upgrade uses: how the user knows it, its node, and what it
// must be.
struct UsedPort {
  std::string id;    // as `ports` shows it and the events carry it ("target")
  std::string name;
  std::string node;
  std::string serialNumber;  // USB: as the printer reports it, else empty
  PortKind kind = PortKind::kSerial;
  platform::NodeUse use() const {
    return kind == PortKind::kSerial ? platform::NodeUse::kSerial : platform::NodeUse::kPrinter;
  }
};

// Why no port could be chosen, and the exit status.
struct PortRefusal {
  Message message;
  int status = 1;
};

// Chooses the port of options.port (or the link's default) and sets the
// process-wide values the link's procedure reads.
std::optional<PortRefusal> ChooseTarget(const CliOptions &options, UsedPort &used);

// Why the port cannot be used now (nullopt: it can), by the probe that
// `ports` uses too.
std::optional<Message> CheckPort(const UsedPort &used);

// Two --port values that name one printer ("7" and "COM7", an id and its
// node): the message that refuses them (a usage error), or nullopt. ids and
// nodes in the order of the values; an empty node matches none.
std::optional<Message> SamePrinterTwice(const std::vector<std::string> &values, const std::vector<std::string> &ids,
                                        const std::vector<std::string> &nodes);

}  // namespace velloran::cli
