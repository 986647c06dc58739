// Diagnosis of device nodes on Linux: stat(2) and access(2) for the node
// and its permissions, the group database for the owner group, a short open
// for exclusive holders, and /proc/<pid>/fd for who holds it.
#include "port_diagnosis.h"

#include "device_names.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace velloran::platform {
namespace {

namespace fs = std::filesystem;

bool SameNode(const struct stat &a, const struct stat &b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string ProgramOf(const fs::path &process) {
  std::ifstream comm(process / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

bool SessionHasGroup(gid_t group) {
  if (getegid() == group) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<size_t>(i)] == group) return true;
  }
  return false;
}

// The user is listed as a member of the group (or has it as primary group)
// in the group database.
bool UserIsMember(gid_t group) {
  const struct passwd *user = getpwuid(getuid());
  if (user == nullptr) return false;
  if (user->pw_gid == group) return true;
  const struct group *entry = getgrgid(group);
  if (entry == nullptr) return false;
  for (char **member = entry->gr_mem; member && *member; ++member) {
    if (std::strcmp(*member, user->pw_name) == 0) return true;
  }
  return false;
}

void DescribeOwner(const struct stat &info, NodeDiagnosis &diagnosis) {
  diagnosis.group = DeviceNodeGroup(diagnosis.node);
  if (diagnosis.group.empty()) diagnosis.group = std::to_string(info.st_gid);
  diagnosis.groupWritable = (info.st_mode & S_IWGRP) != 0 && (info.st_mode & S_IRGRP) != 0;
  diagnosis.memberNotInSession = UserIsMember(info.st_gid) && !SessionHasGroup(info.st_gid);
}

}  // namespace

std::vector<NodeHolder> NodeHolders(const std::string &node) {
  std::vector<NodeHolder> holders;
  struct stat target {};
  if (stat(node.c_str(), &target) != 0) return holders;
  const std::string self = std::to_string(getpid());
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    std::error_code fdError;
    for (fs::directory_iterator fd(it->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
         fd.increment(fdError)) {
      struct stat open {};
      if (stat(fd->path().c_str(), &open) != 0 || !SameNode(open, target)) continue;
      holders.push_back({std::stoi(pid), ProgramOf(it->path())});
      break;
    }
  }
  return holders;
}

NodeDiagnosis DiagnoseNode(const std::string &node, bool wantSerial) {
  NodeDiagnosis diagnosis;
  diagnosis.node = node;
  diagnosis.superuser = geteuid() == 0;
  struct stat info {};
  if (stat(node.c_str(), &info) != 0) {
    diagnosis.verdict = errno == EACCES ? NodeVerdict::kNotPermitted : NodeVerdict::kMissing;
    return diagnosis;
  }
  diagnosis.nodeExists = true;
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
    diagnosis.verdict = NodeVerdict::kNotDevice;
    return diagnosis;
  }
  DescribeOwner(info, diagnosis);
  if (access(node.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
    diagnosis.verdict = NodeVerdict::kNotPermitted;
    return diagnosis;
  }
  diagnosis.holders = NodeHolders(node);
  const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    switch (errno) {
      case EACCES:
      case EPERM: diagnosis.verdict = NodeVerdict::kNotPermitted; break;
      case EBUSY: diagnosis.verdict = NodeVerdict::kHeld; break;  // TIOCEXCL of another
      default: diagnosis.verdict = NodeVerdict::kMissing; break;   // ENXIO, ENODEV, EIO: no device behind it
    }
    return diagnosis;
  }
  // The 8250 driver makes ttyS0-ttyS3 whether or not a UART answers; on
  // one without, every terminal call fails with EIO.
  termios settings {};
  const bool terminal = tcgetattr(fd, &settings) == 0;
  const bool noHardware = !terminal && errno == EIO;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
  close(fd);
  if (noHardware) {
    diagnosis.verdict = NodeVerdict::kMissing;
  } else if (wantSerial && !terminal) {
    diagnosis.verdict = NodeVerdict::kNotSerial;
  } else if (locked) {
    diagnosis.verdict = NodeVerdict::kHeld;
  }
  return diagnosis;
}

}  // namespace velloran::platform
