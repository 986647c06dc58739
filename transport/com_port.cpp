// The serial-port pipe: OpenComW, OpenComA, WriteCom. ReadCom and CloseCom
// are ReadUsb and CloseUsb exported under a second name (Corvalink.def).
#include "corvalink.h"
#include "port_access.h"

#include <cstring>

using namespace velloran::transport;

namespace {

// A read of n bytes returns after at most 2n + 20 ms; writes wait until all
// bytes are sent.
constexpr COMMTIMEOUTS kComTimeouts = {0, 2, 20, 0, 0};

// 8 data bits, no parity, one stop bit, DTR on, everything else off.
void SetLine(HANDLE port, DWORD baud_rate) {
  DCB dcb;
  GetCommState(port, &dcb);
  std::memset(&dcb, 0, sizeof dcb);
  dcb.BaudRate = baud_rate;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.ByteSize = 8;
  SetCommState(port, &dcb);
}

template <class Name>
HANDLE OpenCom(Name name, DWORD baud_rate) {
  HANDLE port = OpenDeviceExclusive(name, kComTimeouts);
  if (port != INVALID_HANDLE_VALUE) SetLine(port, baud_rate);
  return port;
}

}  // namespace

extern "C" {

HANDLE WINAPI OpenComW(LPCWSTR name, DWORD baud_rate) { return OpenCom(name, baud_rate); }
HANDLE WINAPI OpenComA(LPCSTR name, DWORD baud_rate) { return OpenCom(name, baud_rate); }

int WINAPI WriteCom(HANDLE port, LPCVOID data, DWORD length, LPDWORD written) {
  // Reply bytes not read yet are lost here, as callers of this pipe expect.
  return PurgeAndWriteToPort(port, data, length, written);
}

}  // extern "C"
