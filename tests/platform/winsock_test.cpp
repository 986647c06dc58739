// Windows Sockets start-up, clean-up, errors and socket controls, as Windows
// documents them.
#include "win32_winsock.h"

#include <gtest/gtest.h>

namespace {

TEST(WinsockStartup, GrantsTheVersionAskedForUpToTwoPointTwo) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
  EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
  ASSERT_EQ(WSAStartup(MAKEWORD(3, 0), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(WinsockStartup, RefusesVersionsBelowOne) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);
  // Neither counted as a start-up.
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST(WinsockStartup, EachStartUpNeedsItsOwnCleanUp) {
  WSADATA data;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
}

class WinsockSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};

TEST_F(WinsockSocket, NonBlockingConnectIsUnderWayAndReceiveWouldBlock) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(listener, INVALID_SOCKET);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  u_long on = 1;
  ASSERT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
  if (connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  }
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(s, &writable);
  timeval wait{2, 0};
  ASSERT_EQ(select(static_cast<int>(s) + 1, nullptr, &writable, nullptr, &wait), 1);

  char byte;
  EXPECT_EQ(recv(s, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(closesocket(listener), 0);
}

TEST_F(WinsockSocket, ClosedOrUnknownSocketsAreRefused) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_EQ(closesocket(s), 0);
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  u_long on = 1;
  EXPECT_EQ(ioctlsocket(INVALID_SOCKET, FIONBIO, &on), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(send(INVALID_SOCKET, "a", 1, MSG_NOSIGNAL), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

}  // namespace
