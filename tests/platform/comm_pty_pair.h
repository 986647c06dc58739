// A pseudo-terminal for the comm-layer tests: the test holds the master side
// and plays the far end of the line; the code under test opens the slave.
#pragma once

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace velloran::testing {

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
        ptsname_r(master_, name, sizeof name) == 0) {
      slave_path_ = name;
    }
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair &) = delete;
  PtyPair &operator=(const PtyPair &) = delete;

  bool ok() const { return master_ >= 0 && !slave_path_.empty(); }
  const std::string &slave_path() const { return slave_path_; }

  // Writes bytes as the far end; true when all were taken.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = write(master_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // Reads what the slave side wrote, until `count` bytes came or nothing
  // more arrived within `quiet_ms`.
  std::string Receive(size_t count, int quiet_ms = 1000) {
    std::string got;
    while (got.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, quiet_ms) <= 0 || !(p.revents & POLLIN)) break;
      char buffer[4096];
      ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

  // The slave's settings, which the master side sees.
  termios2 SlaveSettings() const {
    termios2 settings{};
    ioctl(master_, TCGETS2, &settings);
    return settings;
  }

  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

}  // namespace velloran::testing
