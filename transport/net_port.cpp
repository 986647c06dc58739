// The network pipe: InitNetSev, ConnectNetPort, WriteToNetPort,
// ReadFromNetPort, CloseNetPor, CloseNetServ.
#include "corvalink.h"
#include "neighbour_refresh.h"

using namespace velloran::transport;

namespace {

constexpr int kConnected = 1;
constexpr int kNoSocket = -1;
constexpr int kBlockingOnly = -2;
constexpr int kTimedOut = -3;
constexpr int kWaitFailed = -4;

int GiveUp(SOCKET *slot, int result) {
  closesocket(*slot);
  *slot = INVALID_SOCKET;
  return result;
}

// Waits until the connect under way ends or the time-out passes.
int WaitForConnect(SOCKET s, const timeval *timeout) {
  if (!SocketFitsInFdSet(s)) return -1;
  fd_set readable, writable, failed;
  // select may change the record it is given: the caller's stays as it is.
  timeval left{};
  if (timeout) left = *timeout;
  for (;;) {
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &readable);
    FD_SET(s, &writable);
    // Windows reports a failed connect here rather than as writable.
    FD_SET(s, &failed);
    int ready = select(static_cast<int>(s) + 1, &readable, &writable, &failed,
                       timeout ? &left : nullptr);
    if (ready >= 0 || WSAGetLastError() != WSAEINTR) return ready;
  }
}

}  // namespace

extern "C" {

int WINAPI InitNetSev(void) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return 0;
  if (data.wVersion != MAKEWORD(1, 1)) {
    WSACleanup();
    return 0;
  }
  return 1;
}

int WINAPI ConnectNetPort(SOCKET *slot, const sockaddr_in *address, const timeval *timeout) {
  if (!slot) return kNoSocket;
  *slot = INVALID_SOCKET;
  if (!address) return kNoSocket;
  ForgetNeighbour(address->sin_addr.s_addr);

  *slot = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (*slot == INVALID_SOCKET) return kNoSocket;
  u_long non_blocking = 1;
  if (ioctlsocket(*slot, FIONBIO, &non_blocking) != 0) return GiveUp(slot, kBlockingOnly);

  if (connect(*slot, reinterpret_cast<const sockaddr *>(address), sizeof(sockaddr_in)) == 0)
    return kConnected;
  // Anything but "under way" (a refusal reported at once) is final.
  if (WSAGetLastError() != WSAEWOULDBLOCK) return GiveUp(slot, kWaitFailed);

  int ready = WaitForConnect(*slot, timeout);
  if (ready == 0) return GiveUp(slot, kTimedOut);
  if (ready < 0) return GiveUp(slot, kWaitFailed);
  // The socket is ready also when the connection was refused or reset: only
  // its pending error tells.
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(*slot, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length) != 0 ||
      error != 0)
    return GiveUp(slot, kWaitFailed);
  return kConnected;
}

int WINAPI WriteToNetPort(SOCKET *slot, const char *data, int length) {
  if (!slot || length < 0) return SOCKET_ERROR;
  return static_cast<int>(send(*slot, data, length, MSG_NOSIGNAL));
}

int WINAPI ReadFromNetPort(SOCKET *slot, char *buffer, int size) {
  if (!slot || size < 0) return SOCKET_ERROR;
  return static_cast<int>(recv(*slot, buffer, size, 0));
}

int WINAPI CloseNetPor(SOCKET *slot) {
  if (!slot || *slot == INVALID_SOCKET) return 0;
  int result = closesocket(*slot);
  *slot = INVALID_SOCKET;
  return result == 0 ? 1 : 0;
}

int WINAPI CloseNetServ(void) { return WSACleanup() == 0 ? 1 : 0; }

}  // extern "C"
