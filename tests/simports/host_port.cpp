#include "host_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "crc16.h"
#include "pty.h"

namespace velloran::sim::test {

HostPort::HostPort(const std::string &node) {
  fd_ = open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios settings{};
  if (fd_ >= 0 && tcgetattr(fd_, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(fd_, TCSANOW, &settings);
  }
}

HostPort::~HostPort() {
  if (fd_ >= 0) close(fd_);
}

bool HostPort::SetBaudRate(unsigned baud) {
  const auto speed = SpeedOfBaud(baud);
  termios settings{};
  if (!speed || tcgetattr(fd_, &settings) != 0) return false;
  cfsetispeed(&settings, *speed);
  cfsetospeed(&settings, *speed);
  return tcsetattr(fd_, TCSANOW, &settings) == 0;
}

bool HostPort::Write(const std::vector<uint8_t> &bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      if (!Writable(std::chrono::milliseconds(2000))) return false;
    } else if (!(n < 0 && errno == EINTR)) {
      return false;
    }
  }
  return true;
}

std::vector<uint8_t> HostPort::Read(size_t count, std::chrono::milliseconds timeout) {
  std::vector<uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (got.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN)) continue;
    uint8_t buffer[1024];
    const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n > 0) got.insert(got.end(), buffer, buffer + n);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  return got;
}

bool HostPort::Writable(std::chrono::milliseconds wait) {
  pollfd p{fd_, POLLOUT, 0};
  return poll(&p, 1, static_cast<int>(wait.count())) == 1 && (p.revents & POLLOUT);
}

std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t> &payload) {
  std::vector<uint8_t> frame;
  frame.reserve(payload.size() + 9);
  for (uint8_t byte : {uint8_t{0x1E}, uint8_t{0x12}, uint8_t{0x55}, uint8_t{0x00}, command,
                       static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size() & 0xFF)})
    frame.push_back(byte);
  for (uint8_t byte : payload) frame.push_back(byte);
  const uint16_t crc = Crc16(frame.data(), static_cast<uint16_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  return frame;
}

std::vector<uint8_t> Reply(uint8_t status, const std::vector<uint8_t> &payload) {
  return Frame(status, payload);
}

}  // namespace velloran::sim::test
