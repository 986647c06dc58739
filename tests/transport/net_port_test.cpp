// The network pipe against listeners on the loopback address only.
#include "corvalink.h"
#include "loopback_listener.h"
#include "pty_pair.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

using velloran::testing::LoopbackListener;
using velloran::testing::MillisecondsOf;

class NetPort : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(InitNetSev(), 1); }
  void TearDown() override {
    CloseNetPor(&slot_);
    EXPECT_EQ(CloseNetServ(), 1);
  }
  SOCKET slot_ = INVALID_SOCKET;
};

TEST_F(NetPort, ConnectsToAListenerAndCarriesBytesBothWays) {
  LoopbackListener listener;
  timeval wait{2, 0};
  ASSERT_EQ(ConnectNetPort(&slot_, &listener.address(), &wait), 1);
  EXPECT_NE(slot_, INVALID_SOCKET);
  // The caller's time-out record is left as it was.
  EXPECT_EQ(wait.tv_sec, 2);
  EXPECT_EQ(wait.tv_usec, 0);
  int peer = listener.Accept();
  ASSERT_GE(peer, 0);

  EXPECT_EQ(WriteToNetPort(&slot_, "abc", 3), 3);
  char received[8] = {};
  ASSERT_EQ(recv(peer, received, sizeof received, 0), 3);
  EXPECT_EQ(std::string(received, 3), "abc");

  // The socket does not block: nothing pending reads as -1 at once.
  char buffer[16];
  EXPECT_EQ(ReadFromNetPort(&slot_, buffer, sizeof buffer), -1);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  ASSERT_EQ(send(peer, "xyz", 3, 0), 3);
  int got = -1;
  for (int i = 0; i < 100 && got < 0; ++i) {
    got = ReadFromNetPort(&slot_, buffer, sizeof buffer);
    if (got < 0) usleep(10000);
  }
  ASSERT_EQ(got, 3);
  EXPECT_EQ(std::string(buffer, 3), "xyz");
  close(peer);
}

TEST_F(NetPort, ARefusedConnectionNeverReportsConnected) {
  sockaddr_in closed;
  {
    LoopbackListener gone;
    closed = gone.address();
  }
  timeval wait{2, 0};
  int result = 0;
  long long ms = MillisecondsOf([&] { result = ConnectNetPort(&slot_, &closed, &wait); });
  EXPECT_EQ(result, -4);
  EXPECT_EQ(slot_, INVALID_SOCKET);
  EXPECT_LT(ms, 1500) << "a refusal is not waited out";
  // Without a time-out too.
  EXPECT_EQ(ConnectNetPort(&slot_, &closed, nullptr), -4);
  EXPECT_EQ(slot_, INVALID_SOCKET);
}

TEST_F(NetPort, AListenerThatAcceptsNothingTimesOut) {
  // A backlog that is full drops further connection requests unanswered.
  LoopbackListener listener(0);
  std::vector<int> fillers;
  for (int i = 0; i < 16; ++i) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    connect(s, reinterpret_cast<const sockaddr *>(&listener.address()), sizeof(sockaddr_in));
    fillers.push_back(s);
    pollfd p{s, POLLOUT, 0};
    if (poll(&p, 1, 300) == 0) break;  // this one already hangs
  }
  timeval wait{2, 0};
  int result = 0;
  long long ms = MillisecondsOf([&] { result = ConnectNetPort(&slot_, &listener.address(), &wait); });
  EXPECT_EQ(result, -3);
  EXPECT_EQ(slot_, INVALID_SOCKET);
  EXPECT_GE(ms, 1900);
  EXPECT_LT(ms, 5000);
  for (int s : fillers) close(s);
}

TEST_F(NetPort, CloseResetsTheSlotAndASecondCloseDoesNothing) {
  LoopbackListener listener;
  timeval wait{2, 0};
  ASSERT_EQ(ConnectNetPort(&slot_, &listener.address(), &wait), 1);
  EXPECT_EQ(CloseNetPor(&slot_), 1);
  EXPECT_EQ(slot_, INVALID_SOCKET);
  EXPECT_EQ(CloseNetPor(&slot_), 0);
  EXPECT_EQ(CloseNetPor(nullptr), 0);
  // A slot without a socket is handed to the system, which refuses it.
  char buffer[4];
  EXPECT_EQ(WriteToNetPort(&slot_, "a", 1), -1);
  EXPECT_EQ(ReadFromNetPort(&slot_, buffer, sizeof buffer), -1);
}

TEST_F(NetPort, NoSocketGivesMinusOneAndAnEmptySlot) {
  // In a child whose descriptor limit is used up, so that no socket can be made.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int lowest_free = dup(0);
    rlimit limit{static_cast<rlim_t>(lowest_free), static_cast<rlim_t>(lowest_free)};
    close(lowest_free);
    int spare = dup(0);  // takes the last allowed descriptor
    setrlimit(RLIMIT_NOFILE, &limit);
    sockaddr_in address = LoopbackListener::Loopback(9);
    SOCKET slot = 12345;
    timeval wait{1, 0};
    int result = ConnectNetPort(&slot, &address, &wait);
    close(spare);
    _exit(result == -1 && slot == INVALID_SOCKET ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(NetService, StartUpsAreCountedAndVersionOnePointOneIsGranted) {
  ASSERT_EQ(InitNetSev(), 1);
  ASSERT_EQ(InitNetSev(), 1);
  EXPECT_EQ(CloseNetServ(), 1);
  EXPECT_EQ(CloseNetServ(), 1);
  EXPECT_EQ(CloseNetServ(), 0);
}

}  // namespace
