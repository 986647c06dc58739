// Diagnosis of device nodes on Linux: stat(2) and access(2) for the node
// and its permissions, the group database for the owner group, a short open
// that keeps the errno, and the node's openers (node_openers.h).
#include "port_diagnosis.h"

#include "device_names.h"
#include "node_openers.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velloran::platform {
namespace {

bool SessionHasGroup(gid_t group) {
  if (getegid() == group) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  groups.resize(static_cast<size_t>(std::max(getgroups(count, groups.data()), 0)));
  return std::ranges::find(groups, group) != groups.end();
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

// The verdict for an errno of stat(2) or open(2).
NodeVerdict VerdictOfError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO: return NodeVerdict::kMissing;  // no node, or no device behind it
    case EACCES:
    case EPERM: return NodeVerdict::kNotPermitted;
    case EBUSY: return NodeVerdict::kHeld;  // TIOCEXCL of another; usblp and lp take one opener
    default: return NodeVerdict::kFailed;
  }
}

NodeDiagnosis &Fail(NodeDiagnosis &diagnosis, int error) {
  diagnosis.verdict = VerdictOfError(error);
  if (diagnosis.verdict == NodeVerdict::kFailed) {
    diagnosis.error = error;
    diagnosis.systemText = std::strerror(error);
  }
  return diagnosis;
}

// The rivals, or where there are none (a hold of this tool's own test, or
// of a process that is also the far end), everyone who has the node open.
std::vector<NodeHolder> Rivals(std::vector<NodeHolder> holders) {
  if (!AnyRival(holders)) return holders;
  std::erase_if(holders, [](const NodeHolder &holder) { return holder.farEnd; });
  return holders;
}

// Why an open node cannot be used, given what it is.
NodeVerdict OpenNodeVerdict(int fd, const struct stat &info, NodeUse use, NodeDiagnosis &diagnosis) {
  // The 8250 driver makes ttyS0-ttyS3 whether or not a UART answers; on
  // one without, every terminal call fails with EIO.
  termios settings {};
  const bool terminal = tcgetattr(fd, &settings) == 0;
  if (!terminal && errno == EIO) return NodeVerdict::kMissing;
  if (use == NodeUse::kSerial && !terminal) return NodeVerdict::kNotSerial;
  if (use == NodeUse::kPrinter && !CanBePrinterPort(info, fd)) return NodeVerdict::kNotPrinterPort;
  const bool exclusive = terminal && TerminalIsExclusive(fd);
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
  if (S_ISCHR(info.st_mode)) diagnosis.holders = OtherOpeners(info);
  if (locked || AnyRival(diagnosis.holders) || (exclusive && !diagnosis.holders.empty())) {
    diagnosis.holders = Rivals(diagnosis.holders);
    return NodeVerdict::kHeld;
  }
  diagnosis.holders.clear();
  return NodeVerdict::kOpens;
}

}  // namespace

NodeDiagnosis DiagnoseNode(const std::string &node, NodeUse use) {
  NodeDiagnosis diagnosis;
  diagnosis.node = node;
  diagnosis.superuser = geteuid() == 0;
  struct stat info {};
  if (stat(node.c_str(), &info) != 0) return Fail(diagnosis, errno);
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
  const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    Fail(diagnosis, error);
    if (diagnosis.verdict == NodeVerdict::kHeld) diagnosis.holders = Rivals(OtherOpeners(info));
    return diagnosis;
  }
  diagnosis.verdict = OpenNodeVerdict(fd, info, use, diagnosis);
  close(fd);
  return diagnosis;
}

}  // namespace velloran::platform
