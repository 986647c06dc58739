// Opening a port that another process has open: a rival opener (with or
// without its own exclusivity) refuses the open and is named by the
// diagnosis, root never takes over another's exclusive terminal, the far end
// of a pseudo-terminal is no rival, and a claim keeps the port across the
// closes and reopens of this process. Other processes are real children.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "port_claim.h"
#include "port_diagnosis.h"
#include "win32_comm.h"

namespace velloran::platform {
namespace {

// A pseudo-terminal whose master this test holds.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 && ptsname_r(master, name, sizeof name) == 0)
      slave = name;
  }
  ~Pty() { close(master); }
  int master = -1;
  std::string slave;
};

// Another process: opens the node (or, with an empty node, a pseudo-terminal
// of its own, master and slave) and keeps it open until it is ended.
class OtherProcess {
 public:
  OtherProcess(const std::string &node, bool exclusive) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // Only what it opens itself: not the test's master side.
      for (int fd = 3; fd < 1024; ++fd)
        if (fd != ready[1]) close(fd);
      std::string path = node;
      if (path.empty()) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128] = {};
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
          _exit(1);
        path = name;
      }
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd < 0 || (exclusive && ioctl(fd, TIOCEXCL) != 0)) _exit(1);
      if (write(ready[1], path.c_str(), path.size()) < 0) _exit(1);
      close(ready[1]);
      pause();
      _exit(0);
    }
    close(ready[1]);
    char name[128] = {};
    const ssize_t got = read(ready[0], name, sizeof name - 1);
    close(ready[0]);
    if (got > 0) node_ = std::string(name, static_cast<size_t>(got));
  }
  ~OtherProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool started() const { return !node_.empty(); }
  int pid() const { return pid_; }
  const std::string &node() const { return node_; }

 private:
  pid_t pid_ = -1;
  std::string node_;
};

HANDLE Open(const std::string &node) {
  return CreateFileA(node.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool Exclusive(const std::string &node) {
  const int fd = open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  int exclusive = 0;
  const bool set = fd >= 0 && ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
  if (fd >= 0) close(fd);
  return set;
}

TEST(PortHolders, AnotherOpenerRefusesTheOpenAndIsNamed) {
  for (const bool exclusive : {false, true}) {
    SCOPED_TRACE(exclusive ? "with TIOCEXCL" : "without a lock");
    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    // Settings of the other program's that root must not change.
    termios before {};
    ASSERT_EQ(tcgetattr(pty.master, &before), 0);
    {
      OtherProcess reader(pty.slave, exclusive);
      ASSERT_TRUE(reader.started());
      SetLastError(0);
      EXPECT_EQ(Open(pty.slave), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
      const NodeDiagnosis diagnosis = DiagnoseNode(pty.slave, NodeUse::kSerial);
      EXPECT_EQ(diagnosis.verdict, NodeVerdict::kHeld);
      ASSERT_EQ(diagnosis.holders.size(), 1u);
      EXPECT_EQ(diagnosis.holders[0].pid, reader.pid());
      EXPECT_FALSE(diagnosis.holders[0].program.empty());
      termios after {};
      ASSERT_EQ(tcgetattr(pty.master, &after), 0);
      EXPECT_EQ(after.c_lflag, before.c_lflag) << "the line settings were changed";
      EXPECT_EQ(Exclusive(pty.slave), exclusive) << "the other program's exclusivity changed";
    }
    // Once it has gone, the port is free.
    HANDLE port = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 100 && port == INVALID_HANDLE_VALUE; ++i) {
      port = Open(pty.slave);
      if (port == INVALID_HANDLE_VALUE) usleep(20000);
    }
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
    CloseHandle(port);
    EXPECT_FALSE(Exclusive(pty.slave)) << "this open's exclusivity stayed after its close";
  }
}

// A process that holds the master side too plays the printer on that line.
TEST(PortHolders, FarEndOfAPseudoTerminalIsNoRival) {
  OtherProcess printer("", false);
  ASSERT_TRUE(printer.started());
  EXPECT_EQ(DiagnoseNode(printer.node(), NodeUse::kSerial).verdict, NodeVerdict::kOpens);
  HANDLE port = Open(printer.node());
  EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(port);
}

TEST(PortHolders, ClaimKeepsThePortAcrossCloseAndReopen) {
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  {
    PortClaim claim(pty.slave);
    ASSERT_TRUE(claim.held()) << claim.error();
    for (int round = 0; round < 2; ++round) {
      HANDLE port = Open(pty.slave);
      ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
      CloseHandle(port);
      // In the pause the port stays exclusive and locked.
      EXPECT_TRUE(Exclusive(pty.slave));
      EXPECT_EQ(DiagnoseNode(pty.slave, NodeUse::kSerial).verdict, NodeVerdict::kHeld);
    }
  }
  EXPECT_FALSE(Exclusive(pty.slave));
  EXPECT_EQ(DiagnoseNode(pty.slave, NodeUse::kSerial).verdict, NodeVerdict::kOpens);
}

// The parallel port opens only a device that can be a printer port.
TEST(PortHolders, ParallelPortMustBeAPrinterPortOrATerminal) {
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  const struct {
    std::string node;
    bool opens;
  } cases[] = {{"/dev/null", false}, {"/dev/zero", false}, {pty.slave, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.node);
    setenv("VELLORAN_DEVICE_MAP", ("LPT1=" + c.node).c_str(), 1);
    SetLastError(0);
    HANDLE port = Open("LPT1");
    EXPECT_EQ(port != INVALID_HANDLE_VALUE, c.opens);
    if (!c.opens) {
      EXPECT_EQ(GetLastError(), ERROR_BAD_DEVICE);
    }
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    EXPECT_EQ(DiagnoseNode(c.node, NodeUse::kPrinter).verdict == NodeVerdict::kNotPrinterPort, !c.opens);
  }
  unsetenv("VELLORAN_DEVICE_MAP");
}

}  // namespace
}  // namespace velloran::platform
