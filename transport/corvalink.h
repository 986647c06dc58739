// Corvalink: plain functions that make a byte pipe of a USB printer, a
// parallel port, a serial port or a TCP connection to a network printer, and
// send short printer commands over any of them.
//
// Port handles are the system's file handles (pointer-sized); -1
// (INVALID_HANDLE_VALUE) means "no port". The library keeps no state for
// ports: the caller keeps the handle and passes it back. Results: a handle or
// -1 from the opens, 1 for success and 0 for failure from the rest, unless
// noted. Counts are stored through the last argument and may be smaller than
// asked: check them.
#pragma once

#include "win32_winsock.h"

#ifndef CORVALINK_EXPORT
#define CORVALINK_EXPORT
#endif

extern "C" {

// USB printer: the first active USB printer interface (at most 20 looked at)
// whose vendor is one of the library's printer makers, opened exclusively.
// While the environment variable VELLORAN_USB_PRINTER holds a port path, only
// a printer at that port path is opened (none when it is not there), so that
// a program keeps every open of an upgrade on the printer it chose.
// A read returns within about 100 ms with what has arrived (possibly 0
// bytes); a write gives up after 1 ms per byte plus 2 s.
CORVALINK_EXPORT HANDLE WINAPI OpenUsb(void);
CORVALINK_EXPORT int WINAPI WriteUsb(HANDLE port, LPCVOID data, DWORD length, LPDWORD written);
CORVALINK_EXPORT int WINAPI ReadUsb(HANDLE port, LPVOID buffer, DWORD length, LPDWORD read);
CORVALINK_EXPORT int WINAPI CloseUsb(HANDLE port);

// Parallel port by device name ("LPT1"), opened exclusively. A write first
// discards what is queued and gives up after 1 ms per byte plus 2 s; the
// result is that of the system's write, so compare the count too.
CORVALINK_EXPORT HANDLE WINAPI OpenLptW(LPCWSTR name);
CORVALINK_EXPORT HANDLE WINAPI OpenLptA(LPCSTR name);
CORVALINK_EXPORT int WINAPI WriteLpt(HANDLE port, LPCVOID data, DWORD length, LPDWORD written);
CORVALINK_EXPORT int WINAPI CloseLpt(HANDLE port);

// Serial port by device name ("COM3"), opened exclusively at the given baud
// rate, 8 data bits, no parity, one stop bit, DTR on, no handshake. A read of
// n bytes returns after at most 2n + 20 ms with what has arrived. A write
// first discards unread input and queued output, then waits until all bytes
// are sent.
CORVALINK_EXPORT HANDLE WINAPI OpenComW(LPCWSTR name, DWORD baud_rate);
CORVALINK_EXPORT HANDLE WINAPI OpenComA(LPCSTR name, DWORD baud_rate);
CORVALINK_EXPORT int WINAPI ReadCom(HANDLE port, LPVOID buffer, DWORD length, LPDWORD read);
CORVALINK_EXPORT int WINAPI WriteCom(HANDLE port, LPCVOID data, DWORD length, LPDWORD written);
CORVALINK_EXPORT int WINAPI CloseCom(HANDLE port);

// Network printer over TCP/IPv4. InitNetSev starts the sockets service
// (version 1.1) and CloseNetServ stops it; they pair up. A socket slot is a
// cell of the caller's that holds the connected socket or INVALID_SOCKET.
//
// ConnectNetPort refreshes the neighbour entry of the printer's address,
// connects without blocking and waits at most *timeout (no limit for null):
//   1 connected; -1 no socket could be made; -2 non-blocking mode refused;
//   -3 time-out; -4 the wait failed or the connection was refused.
// On every failure the socket is closed and the slot holds INVALID_SOCKET.
// The connected socket does not block: ReadFromNetPort with nothing to
// receive gives -1.
CORVALINK_EXPORT int WINAPI InitNetSev(void);
CORVALINK_EXPORT int WINAPI ConnectNetPort(SOCKET *slot, const sockaddr_in *address,
                                           const timeval *timeout);
CORVALINK_EXPORT int WINAPI WriteToNetPort(SOCKET *slot, const char *data, int length);
CORVALINK_EXPORT int WINAPI ReadFromNetPort(SOCKET *slot, char *buffer, int size);
CORVALINK_EXPORT int WINAPI CloseNetPor(SOCKET *slot);
CORVALINK_EXPORT int WINAPI CloseNetServ(void);

// Link codes and commands of SendInstruction.
enum CorvalinkLink : DWORD {
  kCorvalinkSerial = 0,    // port: handle from OpenComA/W
  kCorvalinkParallel = 1,  // port: handle from OpenLptA/W
  kCorvalinkUsb = 2,       // port: handle from OpenUsb
  kCorvalinkNetwork = 3,   // port: address of a socket slot
};

// Sends one printer command (ESC/POS) over a link:
//   0 GS V p1 (cut)         3 bytes    3 ESC p p1 p2 p3 (drawer pulse) 5 bytes
//   1 ESC ! p1 (print mode) 3 bytes    4 ESC B p1 p2                   4 bytes
//   2 GS / p1 (bit image)   3 bytes    5 ESC C p1 p2 p3                5 bytes
// p1..p3 give their low bytes; the last argument is not used. 1 when every
// byte of the command was written, else 0; an unknown command or link
// writes nothing.
CORVALINK_EXPORT int WINAPI SendInstruction(DWORD link, HANDLE port, DWORD command, DWORD p1,
                                            DWORD p2, DWORD p3, DWORD unused);

}  // extern "C"
