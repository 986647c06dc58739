// ESC/POS command bytes.
#include "printer_command.h"

namespace velloran::transport {
namespace {

constexpr BYTE kEsc = 0x1B;
constexpr BYTE kGs = 0x1D;

PrinterCommand Bytes(std::initializer_list<BYTE> bytes) {
  PrinterCommand command;
  for (BYTE b : bytes) command.bytes[command.length++] = b;
  return command;
}

}  // namespace

std::optional<PrinterCommand> MakePrinterCommand(DWORD command, DWORD p1, DWORD p2, DWORD p3) {
  const BYTE a = static_cast<BYTE>(p1), b = static_cast<BYTE>(p2), c = static_cast<BYTE>(p3);
  switch (command) {
    case 0: return Bytes({kGs, 'V', a});          // cut paper
    case 1: return Bytes({kEsc, '!', a});         // print modes
    case 2: return Bytes({kGs, '/', a});          // print downloaded bit image
    case 3: return Bytes({kEsc, 'p', a, b, c});   // drawer kick pulse
    case 4: return Bytes({kEsc, 'B', a, b});
    case 5: return Bytes({kEsc, 'C', a, b, c});
    default: return std::nullopt;
  }
}

}  // namespace velloran::transport
