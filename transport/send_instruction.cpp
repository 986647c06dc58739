// SendInstruction: one printer command over any of the four links.
#include "corvalink.h"
#include "port_access.h"
#include "printer_command.h"

using namespace velloran::transport;

extern "C" {

int WINAPI SendInstruction(DWORD link, HANDLE port, DWORD command, DWORD p1, DWORD p2, DWORD p3,
                           DWORD) {
  std::optional<PrinterCommand> bytes = MakePrinterCommand(command, p1, p2, p3);
  if (!bytes) return 0;
  // A command is sent only when all of it went out: a write that timed out
  // part-way succeeds as a call but left the printer with half a command.
  DWORD written = 0;
  switch (link) {
    case kCorvalinkSerial:
      return WriteCom(port, bytes->bytes, bytes->length, &written) && written == bytes->length;
    case kCorvalinkParallel:
      return WriteLpt(port, bytes->bytes, bytes->length, &written) && written == bytes->length;
    case kCorvalinkUsb:
      return WriteToPort(port, bytes->bytes, bytes->length, &written) && written == bytes->length;
    case kCorvalinkNetwork: {
      auto *slot = static_cast<SOCKET *>(port);
      if (!slot) return 0;
      int sent = send(*slot, reinterpret_cast<const char *>(bytes->bytes),
                      static_cast<int>(bytes->length), MSG_NOSIGNAL);
      return sent == static_cast<int>(bytes->length) ? 1 : 0;
    }
    default:
      return 0;
  }
}

}  // extern "C"
