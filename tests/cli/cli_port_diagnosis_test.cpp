// velloran-cli telling apart why a port cannot be used: missing, held by
// another program (named, with its process id), not permitted (the node's
// group and what helps; run as an unprivileged user), not a serial device.
// Each is an environment failure: exit status 1. The tool runs as its own
// process, as a user runs it.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>

#include <fstream>

#include "cli_process.h"
#include "e2e_support.h"
#include "pty_printer.h"
#include "serial_printer.h"
#include "win32_comm.h"

namespace velloran::cli {
namespace {

using namespace std::chrono;
using test::CliProcess;

constexpr auto kLong = milliseconds(20000);

struct Outcome {
  int status;
  std::string err;
  std::vector<std::string> out;
};

Outcome RunTool(std::vector<std::string> args, std::vector<std::string> wrapper = {}) {
  args.insert(args.begin(), {"--lang", "en"});
  CliProcess cli(std::move(args), std::move(wrapper));
  EXPECT_TRUE(cli.Started());
  const CliProcess::Exit exit = cli.Finish(kLong);
  std::string err;
  for (const std::string &line : cli.ErrLines()) err += line + "\n";
  return {exit.ShellStatus(), err, cli.OutLines()};
}

// The program name as /proc/<pid>/comm gives it (at most 15 characters).
std::string OwnProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

class CliPortDiagnosis : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(printer_.Start(&error)) << error;
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM7=" + printer_.SlavePath());
  }
  void TearDown() override { printer_.Stop(); }

  // At 4800 baud, the first rate probed.
  sim::SerialPrinter printer_{sim::SerialPrinterOptions{4800, false, std::nullopt, {}}};
  const e2e::ImageFile image_{700};
};

TEST_F(CliPortDiagnosis, HeldPortNamesTheProgramAndItsProcess) {
  HANDLE held = CreateFileA("COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const Outcome run = RunTool({"upgrade", "--link", "serial", "--port", "COM7", image_.Path()});
  CloseHandle(held);

  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("COM7 (" + printer_.SlavePath() + ") cannot be opened: it is held by " +
                         OwnProgramName() + " (process " + std::to_string(getpid()) + ")"),
            std::string::npos)
      << run.err;
  // Root is never told to join a group.
  EXPECT_EQ(run.err.find("usermod"), std::string::npos) << run.err;
  // Only the image summary went out: no port was used.
  for (const std::string &line : run.out) EXPECT_EQ(line.rfind("Port:", 0), std::string::npos) << line;
}

TEST_F(CliPortDiagnosis, NotPermittedNamesTheNodesGroupAndTheHelp) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as another user";
  const struct group *dialout = getgrnam("dialout");
  ASSERT_NE(dialout, nullptr);
  // The node belongs to root:dialout, rw-rw----, as serial nodes do; the
  // tool runs as nobody, without groups.
  ASSERT_EQ(chown(printer_.SlavePath().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(chmod(printer_.SlavePath().c_str(), 0660), 0);
  const Outcome run = RunTool({"upgrade", "--link", "serial", "--port", "COM7", image_.Path()},
                              {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});

  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("COM7 (" + printer_.SlavePath() +
                         ") cannot be opened: you may not open it: it belongs to the group 'dialout'"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("sudo usermod -aG dialout $USER"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("in use"), std::string::npos) << run.err;
}

TEST_F(CliPortDiagnosis, MissingNodeAndNotASerialDeviceHaveTheirOwnMessages) {
  Outcome run = RunTool({"upgrade", "--link", "serial", "--port", "/dev/ttyVELLORAN-none", image_.Path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/dev/ttyVELLORAN-none does not exist"), std::string::npos) << run.err;

  run = RunTool({"upgrade", "--link", "serial", "--port", "/dev/null", image_.Path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/dev/null is not a serial port"), std::string::npos) << run.err;
}

// Every COM name leads nowhere: no free port is an environment failure, not
// bad usage.
TEST_F(CliPortDiagnosis, NoFreePortExitsWithOne) {
  std::string map;
  for (int n = 1; n <= 96; ++n) map += "COM" + std::to_string(n) + "=/dev/ttyVELLORAN-none;";
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", map);
  const Outcome run = RunTool({"upgrade", "--link", "serial", image_.Path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no free COM port found"), std::string::npos) << run.err;
}

// A pseudo-terminal is outside the COM table and no name is mapped to it:
// --port takes it all the same, names it, and the upgrade completes.
TEST_F(CliPortDiagnosis, AnyTerminalNodeServesAsThePort) {
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "");
  const Outcome run = RunTool({"upgrade", "--link", "serial", "--port", printer_.SlavePath(), image_.Path()});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_GE(run.out.size(), 4u);
  EXPECT_EQ(run.out[3], "Port: " + printer_.SlavePath());
  EXPECT_EQ(run.out.back().rfind("Upgrade completed: wrote 1024 bytes in ", 0), 0u) << run.out.back();
  EXPECT_TRUE(printer_.Finished());
}

// Text from the command line is printed with its control characters
// escaped: a file name cannot clear the screen or fake a line.
TEST_F(CliPortDiagnosis, EchoedTextHasItsControlCharactersEscaped) {
  Outcome run = RunTool({"info", "/tmp/fw\x1b[2J\nOK.upd"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/tmp/fw\\x1B[2J\\x0AOK.upd: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos);

  run = RunTool({"upgrade", "--link", "serial", "--port", "COM\x1b[2J", image_.Path()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad port 'COM\\x1B[2J'"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace velloran::cli
