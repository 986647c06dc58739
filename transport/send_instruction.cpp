// SendInstruction: one printer command over any of the four links.
#include "corvalink.h"
#include "printer_command.h"

#include <iterator>

using namespace velloran::transport;

extern "C" {

int WINAPI SendInstruction(DWORD link, HANDLE port, DWORD command, DWORD p1, DWORD p2, DWORD p3,
                           DWORD) {
  std::optional<PrinterCommand> bytes = MakePrinterCommand(command, p1, p2, p3);
  if (!bytes) return 0;
  // A command is sent only when all of it went out: a write that timed out
  // part-way succeeds as a call but left the printer with half a command.
  if (link == kCorvalinkNetwork) {
    const int length = static_cast<int>(bytes->length);
    return WriteToNetPort(static_cast<SOCKET *>(port), reinterpret_cast<const char *>(bytes->bytes),
                          length) == length;
  }
  // By link code: the serial and parallel pipes discard what is queued first.
  using Write = int(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD);
  constexpr Write kWrites[] = {WriteCom, WriteLpt, WriteUsb};
  static_assert(kCorvalinkSerial == 0 && kCorvalinkParallel == 1 && kCorvalinkUsb == 2);
  DWORD written = 0;
  return link < std::size(kWrites) && kWrites[link](port, bytes->bytes, bytes->length, &written) &&
         written == bytes->length;
}

}  // extern "C"
