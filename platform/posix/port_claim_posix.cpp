// Claims as open handles kept by this process, looked up by device number.
#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "file_object.h"
#include "port_claim.h"
#include "port_claims.h"
#include "win32_comm.h"

namespace velloran::platform {
namespace {

struct Claimed {
  dev_t device;
  int fd;
};

std::mutex g_mutex;
std::vector<Claimed> g_claims;

}  // namespace

PortClaim::PortClaim(const std::string &name) {
  handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return;
  }
  const Ref<FileObject> file = LookupFile(handle_);
  struct stat info {};
  // Only a character device is reopened by name; a FIFO or file needs no claim.
  if (file && fstat(file->fd(), &info) == 0 && S_ISCHR(info.st_mode)) {
    std::lock_guard lock(g_mutex);
    g_claims.push_back({info.st_rdev, file->fd()});
  }
}

PortClaim::~PortClaim() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  const Ref<FileObject> file = LookupFile(handle_);
  if (file) {
    std::lock_guard lock(g_mutex);
    std::erase_if(g_claims, [&](const Claimed &claim) { return claim.fd == file->fd(); });
  }
  CloseHandle(handle_);
}

int DuplicateClaimed(const struct stat &node) {
  if (!S_ISCHR(node.st_mode)) return -1;
  std::lock_guard lock(g_mutex);
  for (const Claimed &claim : g_claims) {
    if (claim.device == node.st_rdev) return fcntl(claim.fd, F_DUPFD_CLOEXEC, 0);
  }
  return -1;
}

}  // namespace velloran::platform
