// The neighbour-table step before a network connect, on a pair of virtual
// interfaces in a network namespace of the test's own: nothing outside it is
// touched and no packet is sent.
#include "neighbour_refresh.h"
#include "win32_winsock.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using velloran::transport::ForgetNeighbour;

constexpr int kSkip = 77;

// The addresses in the neighbour table, with their interface.
std::set<std::string> Neighbours() {
  std::ifstream in("/proc/net/arp");
  std::set<std::string> entries;
  std::string line, ip, type, flags, hw, mask, device;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    if (fields >> ip >> type >> flags >> hw >> mask >> device) entries.insert(ip + "@" + device);
  }
  return entries;
}

// Runs the check in a child inside a new network namespace that holds two
// linked virtual interfaces and three neighbour entries. The child's exit
// code is the number of failed expectations (kSkip when it cannot be set up).
int InPrivateNetwork(const std::function<int()> &check) {
  pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNET) != 0) _exit(kSkip);
    if (std::system("ip link add vt0 type veth peer name vt1 2>/dev/null && ip link set vt0 up "
                    "&& ip link set vt1 up") != 0)
      _exit(kSkip);
    if (std::system("ip neigh replace 198.51.100.2 lladdr 02:00:00:00:00:02 dev vt0 nud stale && "
                    "ip neigh replace 198.51.100.3 lladdr 02:00:00:00:00:03 dev vt0 nud permanent && "
                    "ip neigh replace 198.51.100.4 lladdr 02:00:00:00:00:04 dev vt1 nud stale") != 0)
      _exit(kSkip);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

#define EXPECT_IN_CHILD(failures, condition) \
  do {                                       \
    if (!(condition)) {                      \
      std::fprintf(stderr, "failed: %s\n", #condition); \
      ++(failures);                          \
    }                                        \
  } while (0)

TEST(NeighbourRefresh, FlushesTheInterfaceThatKnowsTheAddressAndKeepsPermanentEntries) {
  int result = InPrivateNetwork([] {
    int failures = 0;
    EXPECT_IN_CHILD(failures, Neighbours().count("198.51.100.2@vt0") == 1);
    ForgetNeighbour(inet_addr("198.51.100.2"));
    std::set<std::string> after = Neighbours();
    EXPECT_IN_CHILD(failures, after.count("198.51.100.2@vt0") == 0);
    EXPECT_IN_CHILD(failures, after.count("198.51.100.3@vt0") == 1);
    EXPECT_IN_CHILD(failures, after.count("198.51.100.4@vt1") == 1);
    return failures;
  });
  if (result == kSkip) GTEST_SKIP() << "no network namespace with virtual interfaces here";
  EXPECT_EQ(result, 0);
}

TEST(NeighbourRefresh, AnAddressWithoutEntryChangesNothing) {
  int result = InPrivateNetwork([] {
    std::set<std::string> before = Neighbours();
    ForgetNeighbour(inet_addr("127.0.0.1"));
    return Neighbours() == before ? 0 : 1;
  });
  if (result == kSkip) GTEST_SKIP() << "no network namespace with virtual interfaces here";
  EXPECT_EQ(result, 0);
}

TEST(NeighbourRefresh, WithoutPrivilegeNothingChangesAndNothingFails) {
  int result = InPrivateNetwork([] {
    std::set<std::string> before = Neighbours();
    if (setgid(65534) != 0 || setuid(65534) != 0) return kSkip;
    ForgetNeighbour(inet_addr("198.51.100.2"));
    return Neighbours() == before ? 0 : 1;
  });
  if (result == kSkip) GTEST_SKIP() << "no network namespace with virtual interfaces here";
  EXPECT_EQ(result, 0);
}

}  // namespace
