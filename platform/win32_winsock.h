// Windows Sockets 1.1, as far as the network transport uses it.
//
// On Windows this is the system's own API. On Linux the calls that Windows
// Sockets took over from BSD sockets (socket, connect, select, send, recv,
// getsockopt, inet_addr, htons, ...) are the system's own, and this header adds
// the Windows-only part: SOCKET, INVALID_SOCKET, SOCKET_ERROR, start-up and
// clean-up with version negotiation and a start-up count, closesocket,
// ioctlsocket and the WSAE* error codes through WSAGetLastError.
//
// Differences a caller must write for, since both systems compile the same
// code: pass MSG_NOSIGNAL to send (0 on Windows) so that a send on a broken
// connection fails instead of raising SIGPIPE; pass (int)s + 1 as select's
// first argument (Windows ignores it); give getsockopt a socklen_t length.
#pragma once

#include "win32_base.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif
// Any socket value can stand in a Windows fd_set (it holds a list).
inline bool SocketFitsInFdSet(SOCKET) { return true; }
#else

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>

// A socket is a file descriptor here; the caller's slot is 32 bits wide.
typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)

#ifndef MAKEWORD
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))
#endif
#ifndef LOBYTE
#define LOBYTE(w) ((BYTE)((w) & 0xFF))
#endif
#ifndef HIBYTE
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xFF))
#endif

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
  WORD wVersion;      // the version granted: low byte major, high byte minor
  WORD wHighVersion;  // the highest version this implementation offers (2.2)
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char *lpVendorInfo;
} WSADATA, *LPWSADATA;

// Error codes (winerror.h values).
#define WSAEINTR 10004
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

// An fd_set here is a bitmap of FD_SETSIZE descriptors; a socket beyond it
// cannot be waited for with select.
inline bool SocketFitsInFdSet(SOCKET s) { return s >= 0 && s < FD_SETSIZE; }

// Starts the service: grants the version asked for, or 2.2 if more was asked;
// below 1.0 fails with WSAVERNOTSUPPORTED. Returns 0 or the error code.
// Each successful start-up counts and needs one WSACleanup.
int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);

// Undoes one start-up; without one, SOCKET_ERROR with WSANOTINITIALISED.
// (The BSD calls themselves work without a start-up here.)
int WSACleanup();

// The last error of this thread as a WSAE* code: errors of the BSD calls are
// translated from errno (a non-blocking connect under way reads
// WSAEWOULDBLOCK, as on Windows).
int WSAGetLastError();

// Closes a socket; a descriptor that is no socket gives WSAENOTSOCK.
int closesocket(SOCKET s);

// FIONBIO (*argp nonzero: non-blocking) on a socket; other commands fail
// with WSAEINVAL.
int ioctlsocket(SOCKET s, long cmd, u_long *argp);

#endif  // !_WIN32
