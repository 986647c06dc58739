// The command line of velloran-sim: which port, how the printer behaves, and
// the faults it injects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lpt_printer.h"
#include "serial_printer.h"
#include "usb_printer.h"

namespace velloran::sim {

enum class SimLink { kSerial, kUsb, kLpt };

// One --fail option: where the fault strikes and what it does.
struct FaultSpec {
  enum class Scope { kCommand, kStep, kPacket };
  Scope scope = Scope::kCommand;
  uint32_t number = 0;  // command code, step or packet number
  ReplyFault fault;
};

struct SimOptions {
  SimLink link = SimLink::kSerial;
  // --help, or --version alone: what to print instead of running.
  std::string helpOrVersion;

  // Serial.
  unsigned baud = 115200;
  bool wireTime = false;
  std::optional<unsigned> baudAfterBoot;
  std::string comName = "COM5";
  // USB.
  uint16_t vendorId = 0x067B;
  uint16_t productId = 0x2305;
  unsigned minor = 0;
  std::string usbTree;  // a tree shared with other simulated printers
  std::string portPath = "1-1";
  std::string serialNumber;
  std::string ieee1284;
  std::optional<UsbReenumeration> reenumeration;
  // Parallel port.
  std::optional<uint64_t> stallAfterBytes;
  // Serial and USB: answer nothing after this many packets; parallel port:
  // take nothing more.
  std::optional<uint32_t> stallAfterPackets;

  BootLoaderConfig model;
  std::vector<FaultSpec> faults;

  std::string imageOut;
  bool exitAfterFinish = false;
};

// Parses the arguments after the program name. On failure returns nullopt
// and says why in error.
std::optional<SimOptions> ParseSimOptions(const std::vector<std::string> &args, std::string *error);

// Base and exponent of the boot reply that announce size bytes
// (base << ((exponent + 8) mod 32)); nullopt when no pair gives it.
std::optional<std::pair<uint8_t, uint8_t>> PacketSizeBytes(uint32_t size);

// Applies the fault options and the packet stall to a model.
void ApplyFaults(const SimOptions &options, BootLoaderModel &model);

// Name of a command code as the frame lines print it ("ENTER_BOOT").
std::string CommandName(uint8_t command);

}  // namespace velloran::sim
