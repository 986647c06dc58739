// The Windows-only part of Windows Sockets on BSD sockets: start-up count,
// version negotiation, error codes, closesocket and ioctlsocket.
#include "win32_winsock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

std::mutex g_startup_mutex;
unsigned g_startup_count = 0;

// A code set by this layer is left as this in errno, so that it is told
// apart from an errno left by a later BSD call.
constexpr int kErrnoHoldsWsaCode = 0x5753;
thread_local int t_wsa_code = 0;

void SetWsaError(int code) {
  t_wsa_code = code;
  errno = kErrnoHoldsWsaCode;
}

int WsaCodeForErrno(int e) {
  switch (e) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case EACCES: case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EAGAIN: case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case EPIPE: case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

// True for a descriptor that is a socket; otherwise the error is set.
bool IsSocket(SOCKET s) {
  int type = 0;
  socklen_t length = sizeof type;
  if (s < 0 || getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &length) != 0) {
    SetWsaError(WSAENOTSOCK);
    return false;
  }
  return true;
}

void Copy(char *to, size_t capacity, const char *text) {
  std::strncpy(to, text, capacity - 1);
  to[capacity - 1] = '\0';
}

}  // namespace

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
  if (!lpWSAData) return WSAEFAULT;
  std::memset(lpWSAData, 0, sizeof *lpWSAData);
  lpWSAData->wHighVersion = kHighestVersion;
  Copy(lpWSAData->szDescription, sizeof lpWSAData->szDescription, "WinSock 2.0");
  const BYTE major = LOBYTE(wVersionRequested);
  const BYTE minor = HIBYTE(wVersionRequested);
  if (major < 1) {
    lpWSAData->wVersion = kHighestVersion;
    return WSAVERNOTSUPPORTED;
  }
  const bool above_highest = major > 2 || (major == 2 && minor > 2);
  lpWSAData->wVersion = above_highest ? kHighestVersion : wVersionRequested;
  lpWSAData->iMaxSockets = 32767;
  lpWSAData->iMaxUdpDg = 65467;
  Copy(lpWSAData->szSystemStatus, sizeof lpWSAData->szSystemStatus, "Running");
  std::lock_guard lock(g_startup_mutex);
  ++g_startup_count;
  return 0;
}

int WSACleanup() {
  std::lock_guard lock(g_startup_mutex);
  if (g_startup_count == 0) {
    SetWsaError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  --g_startup_count;
  return 0;
}

int WSAGetLastError() {
  return errno == kErrnoHoldsWsaCode ? t_wsa_code : WsaCodeForErrno(errno);
}

int closesocket(SOCKET s) {
  if (!IsSocket(s)) return SOCKET_ERROR;
  // Linux releases the descriptor even when close is interrupted.
  if (close(s) != 0 && errno != EINTR) return SOCKET_ERROR;
  return 0;
}

int ioctlsocket(SOCKET s, long cmd, u_long *argp) {
  if (!IsSocket(s)) return SOCKET_ERROR;
  if (!argp) {
    SetWsaError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  if (cmd == static_cast<long>(FIONBIO)) {
    int flags = fcntl(s, F_GETFL);
    if (flags < 0) return SOCKET_ERROR;
    flags = *argp ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(s, F_SETFL, flags) == 0 ? 0 : SOCKET_ERROR;
  }
  SetWsaError(WSAEINVAL);
  return SOCKET_ERROR;
}
