// A pseudo-terminal for tests: the test holds the master side, the code under
// test opens the slave by its path.
#pragma once

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace velloran::testing {

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    slave_path_ = ptsname(master_);
    // Raw on both ends, so that bytes pass unchanged.
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  ~PtyPair() { close(master_); }
  PtyPair(const PtyPair &) = delete;
  PtyPair &operator=(const PtyPair &) = delete;

  int master() const { return master_; }
  const std::string &slave_path() const { return slave_path_; }

  void Write(const std::vector<unsigned char> &bytes) const {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      throw std::runtime_error("pty write");
  }

  // Plays a printer that stops taking data: software flow control on the
  // line, then XOFF. Writes on the slave side then stall.
  void StopOutput() const {
    termios t{};
    if (tcgetattr(master_, &t) != 0) throw std::runtime_error("pty settings");
    t.c_iflag |= IXON;
    if (tcsetattr(master_, TCSANOW, &t) != 0) throw std::runtime_error("pty settings");
    Write({0x13});
    usleep(50000);  // let the line discipline take the XOFF
  }

  // Collects what the slave sent until `count` bytes are there or `wait`
  // has passed.
  std::vector<unsigned char> Read(size_t count, std::chrono::milliseconds wait) const {
    std::vector<unsigned char> bytes;
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (bytes.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) != 1 || !(p.revents & POLLIN)) continue;
      unsigned char chunk[4096];
      ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
      if (n <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
  }

 private:
  int master_ = -1;
  std::string slave_path_;
};

// Milliseconds that a call takes.
template <class F>
long long MillisecondsOf(F &&call) {
  auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

}  // namespace velloran::testing
