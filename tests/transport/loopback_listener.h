// A TCP listener on 127.0.0.1 with a port of the system's choice. Tests send
// nothing anywhere but to the loopback address.
#pragma once

#include "win32_winsock.h"

#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace velloran::testing {

class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 8) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(fd_, backlog) != 0)
      throw std::runtime_error("no loopback listener");
    socklen_t length = sizeof address_;
    getsockname(fd_, reinterpret_cast<sockaddr *>(&address_), &length);
  }
  ~LoopbackListener() {
    if (fd_ >= 0) close(fd_);
  }
  LoopbackListener(const LoopbackListener &) = delete;
  LoopbackListener &operator=(const LoopbackListener &) = delete;

  const sockaddr_in &address() const { return address_; }
  int fd() const { return fd_; }

  // The next connection, or -1 when none came within the wait.
  int Accept(int wait_ms = 2000) const {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) != 1) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }

  void Close() {
    close(fd_);
    fd_ = -1;
  }

  static sockaddr_in Loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    return a;
  }

 private:
  int fd_ = -1;
  sockaddr_in address_{};
};

}  // namespace velloran::testing
