// The short printer commands that SendInstruction sends.
#pragma once

#include "win32_base.h"

#include <initializer_list>
#include <optional>

namespace velloran::transport {

struct PrinterCommand {
  BYTE bytes[10] = {};
  DWORD length = 0;
};

// The bytes of command 0..5 with the low bytes of p1..p3; nothing for any
// other command.
std::optional<PrinterCommand> MakePrinterCommand(DWORD command, DWORD p1, DWORD p2, DWORD p3);

}  // namespace velloran::transport
