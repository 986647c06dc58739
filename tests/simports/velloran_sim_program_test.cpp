// The velloran-sim program as a user runs it: where it listens, one line
// per frame, the flashed image on exit, and a clean end on a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "frame.h"
#include "host_port.h"

extern char **environ;

namespace velloran::sim {
namespace {

using namespace std::chrono;
using test::Frame;
using test::HostPort;

// velloran-sim running with its standard output on a pipe.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    args.insert(args.begin(), VELLORAN_SIM_PROGRAM);
    std::vector<char *> argv;
    for (auto &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    out_ = fdopen(pipeFds[0], "r");
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) fclose(out_);
  }

  // The next line of output, without its line break; empty at the end.
  std::string Line() {
    char buffer[1024];
    if (!out_ || !fgets(buffer, sizeof buffer, out_)) return "";
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }
  // Reads lines until one starts with prefix; returns the rest of it.
  std::string After(const std::string &prefix) {
    for (std::string line = Line(); !line.empty(); line = Line()) {
      lines_.push_back(line);
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    }
    return "";
  }
  // Waits for the exit; the exit status, or -1 when it did not end in time.
  int Wait(milliseconds timeout) {
    const auto deadline = steady_clock::now() + timeout;
    while (steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(milliseconds(10));
    }
    return -1;
  }
  pid_t Pid() const { return pid_; }
  const std::vector<std::string> &Lines() const { return lines_; }

 private:
  pid_t pid_ = -1;
  FILE *out_ = nullptr;
  std::vector<std::string> lines_;
};

// "NAME=VALUE" pairs of an environment line.
std::string ValueOf(const std::string &environment, const std::string &name) {
  const size_t at = environment.find(name + "=");
  if (at == std::string::npos) return "";
  const size_t begin = at + name.size() + 1;
  return environment.substr(begin, environment.find(' ', begin) - begin);
}

TEST(VelloranSim, ServesAnUpgradeAndWritesTheImageOnFinish) {
  const auto image = std::filesystem::temp_directory_path() / ("velloran-sim-image-" + std::to_string(getpid()));
  SimProcess sim({"serial", "--baud", "9600", "--com-name", "COM7", "--exit-after-finish", "--image-out",
                  image.string()});
  ASSERT_GT(sim.Pid(), 0);
  const std::string map = ValueOf(sim.After("environment: "), "VELLORAN_DEVICE_MAP");
  ASSERT_EQ(map.rfind("COM7=/dev/pts/", 0), 0u) << map;
  HostPort host(map.substr(5));
  ASSERT_TRUE(host.SetBaudRate(9600));
  const std::vector<uint8_t> packet(512, 0x5A);
  for (const auto &frame : {Frame(CMD_ENTER_BOOT), Frame(CMD_ERASE), Frame(CMD_DATA, packet), Frame(CMD_FINISH)}) {
    const size_t replyLength = frame[4] == CMD_ENTER_BOOT ? 12 : 9;
    ASSERT_TRUE(host.Write(frame));
    ASSERT_EQ(host.Read(replyLength, milliseconds(2000)).size(), replyLength);
  }
  EXPECT_EQ(sim.After("frame 3: "), "DATA 512 bytes -> status 1");
  EXPECT_EQ(sim.After("frame 4: "), "FINISH -> status 1");
  EXPECT_EQ(sim.Wait(seconds(5)), 0);
  std::ifstream in(image, std::ios::binary);
  const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(image);
  EXPECT_EQ(written, packet);
}

TEST(VelloranSim, EndsOnSigtermAndRemovesTheUsbTree) {
  SimProcess sim({"usb", "--vendor", "0483"});
  ASSERT_GT(sim.Pid(), 0);
  const std::string environment = sim.After("environment: ");
  const std::filesystem::path sysfs = ValueOf(environment, "VELLORAN_SYSFS_ROOT");
  const std::filesystem::path dev = ValueOf(environment, "VELLORAN_DEV_ROOT");
  ASSERT_TRUE(std::filesystem::is_symlink(dev / "usb/lp0")) << environment;
  std::ifstream vendor(std::filesystem::canonical(sysfs / "class/usbmisc/lp0/device").parent_path() / "idVendor");
  std::string id;
  vendor >> id;
  EXPECT_EQ(id, "0483");
  kill(sim.Pid(), SIGTERM);
  EXPECT_EQ(sim.After("stopping on "), "SIGTERM");
  EXPECT_EQ(sim.Wait(seconds(5)), 0);
  EXPECT_FALSE(std::filesystem::exists(sysfs.parent_path()));
}

// The terminal that runs it closes: the tree goes as on SIGTERM.
TEST(VelloranSim, EndsOnSighupAndRemovesTheUsbTree) {
  SimProcess sim({"usb"});
  ASSERT_GT(sim.Pid(), 0);
  const std::filesystem::path sysfs = ValueOf(sim.After("environment: "), "VELLORAN_SYSFS_ROOT");
  ASSERT_TRUE(std::filesystem::exists(sysfs));
  kill(sim.Pid(), SIGHUP);
  EXPECT_EQ(sim.After("stopping on "), "SIGHUP");
  EXPECT_EQ(sim.Wait(seconds(5)), 0);
  EXPECT_FALSE(std::filesystem::exists(sysfs.parent_path()));
}

// A simulator killed outright leaves its tree; the next one to start
// removes it, but not the tree of one that still runs.
TEST(VelloranSim, RemovesTheUsbTreeOfAKilledSimulatorOnStart) {
  std::filesystem::path killedTree, runningTree;
  {
    SimProcess killed({"usb"});
    ASSERT_GT(killed.Pid(), 0);
    killedTree = std::filesystem::path(ValueOf(killed.After("environment: "), "VELLORAN_SYSFS_ROOT")).parent_path();
  }  // SIGKILL
  ASSERT_TRUE(std::filesystem::exists(killedTree)) << "SIGKILL leaves the tree";
  SimProcess running({"usb"});
  ASSERT_GT(running.Pid(), 0);
  runningTree = std::filesystem::path(ValueOf(running.After("environment: "), "VELLORAN_SYSFS_ROOT")).parent_path();

  SimProcess next({"usb"});
  ASSERT_GT(next.Pid(), 0);
  const std::filesystem::path nextTree =
      std::filesystem::path(ValueOf(next.After("environment: "), "VELLORAN_SYSFS_ROOT")).parent_path();
  EXPECT_FALSE(std::filesystem::exists(killedTree));
  EXPECT_TRUE(std::filesystem::exists(runningTree / "sys/class/usbmisc/lp0"));
  EXPECT_TRUE(std::filesystem::exists(nextTree / "sys/class/usbmisc/lp0"));
  for (SimProcess *sim : {&running, &next}) {
    kill(sim->Pid(), SIGTERM);
    EXPECT_EQ(sim->Wait(seconds(5)), 0);
  }
}

TEST(VelloranSim, ExplainsItselfAndRefusesBadUsage) {
  {
    SimProcess help({"--help"});
    EXPECT_NE(help.After("Usage: "), "");
    EXPECT_EQ(help.Wait(seconds(5)), 0);
  }
  {
    SimProcess version({"--version"});
    EXPECT_EQ(version.Line(), std::string("velloran-sim ") + VELLORAN_RELEASE);
    EXPECT_EQ(version.Wait(seconds(5)), 0);
  }
  SimProcess bad({"serial", "--baud", "1234"});
  EXPECT_EQ(bad.Wait(seconds(5)), 2);
}

}  // namespace
}  // namespace velloran::sim
