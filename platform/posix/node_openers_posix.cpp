// Openers of a device node through /proc/<pid>/fd, the pseudo-terminal
// masters through /proc/<pid>/fdinfo (its "tty-index" line).
#include "node_openers.h"

#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace velloran::platform {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kPtySlaveFirstMajor = 136;  // UNIX98 slaves: 136-143, 256 minors each
constexpr unsigned kPtySlaveLastMajor = 143;
constexpr unsigned kLpMajor = 6;
constexpr unsigned kUsbMajor = 180;  // usblp takes its minors 0-15
constexpr unsigned kUsblpMinors = 16;

bool SameNode(const struct stat &a, const struct stat &b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The pseudo-terminal index of a slave node, if it is one.
std::optional<unsigned> PtyIndex(const struct stat &node) {
  if (!S_ISCHR(node.st_mode)) return std::nullopt;
  const unsigned majorNumber = major(node.st_rdev);
  if (majorNumber < kPtySlaveFirstMajor || majorNumber > kPtySlaveLastMajor) return std::nullopt;
  return (majorNumber - kPtySlaveFirstMajor) * 256 + minor(node.st_rdev);
}

bool IsPtyMaster(const struct stat &open) {
  return S_ISCHR(open.st_mode) && major(open.st_rdev) == 5 && minor(open.st_rdev) == 2;
}

// The index of the pseudo-terminal whose master the descriptor is.
std::optional<unsigned> MasterIndex(const fs::path &process, const std::string &fd) {
  std::ifstream info(process / "fdinfo" / fd);
  for (std::string line; std::getline(info, line);) {
    if (line.rfind("tty-index:", 0) == 0) return static_cast<unsigned>(std::strtoul(line.c_str() + 10, nullptr, 10));
  }
  return std::nullopt;
}

std::string ProgramOf(const fs::path &process) {
  std::ifstream comm(process / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

std::vector<NodeHolder> OtherOpeners(const struct stat &node) {
  std::vector<NodeHolder> holders;
  const std::optional<unsigned> ptyIndex = PtyIndex(node);
  const std::string self = std::to_string(getpid());
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    bool opens = false;
    bool farEnd = false;
    std::error_code fdError;
    for (fs::directory_iterator fd(it->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
         fd.increment(fdError)) {
      struct stat open {};
      if (stat(fd->path().c_str(), &open) != 0) continue;
      if (SameNode(open, node)) opens = true;
      if (ptyIndex && IsPtyMaster(open) && MasterIndex(it->path(), fd->path().filename().string()) == ptyIndex)
        farEnd = true;
    }
    if (opens) holders.push_back({std::stoi(pid), ProgramOf(it->path()), farEnd});
  }
  return holders;
}

bool TerminalIsExclusive(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

bool CanBePrinterPort(const struct stat &node, int fd) {
  if (!S_ISCHR(node.st_mode)) return true;
  const unsigned majorNumber = major(node.st_rdev);
  if (majorNumber == kLpMajor) return true;
  if (majorNumber == kUsbMajor && minor(node.st_rdev) < kUsblpMinors) return true;
  return isatty(fd) != 0;
}

bool AnyRival(const std::vector<NodeHolder> &holders) {
  return !std::ranges::all_of(holders, &NodeHolder::farEnd);
}

}  // namespace velloran::platform
