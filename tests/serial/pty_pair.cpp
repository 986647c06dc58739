#include "pty_pair.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ADD_FAILURE() << "no pseudo-terminal available";
    if (master_ >= 0) close(master_);
    master_ = -1;
    return;
  }
  slave_ = ptsname(master_);
  // Raw line: the bytes pass unchanged in both directions.
  termios tio{};
  if (tcgetattr(master_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
  }
}

PtyPair::~PtyPair() {
  if (slaveHold_ >= 0) close(slaveHold_);
  if (master_ >= 0) close(master_);
}

bool PtyPair::StopPortOutput() {
  if (slaveHold_ < 0) slaveHold_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  return slaveHold_ >= 0 && tcflow(slaveHold_, TCOOFF) == 0;
}

void PtyPair::ResumePortOutput() {
  if (slaveHold_ >= 0) tcflow(slaveHold_, TCOON);
}

void PtyPair::MapAs(unsigned port) const {
  std::string map = "COM" + std::to_string(port) + "=" + slave_;
  setenv("VELLORAN_DEVICE_MAP", map.c_str(), 1);
}

void PtyPair::Send(const std::vector<uint8_t> &bytes) const {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 10);
    }
  }
}

std::vector<uint8_t> PtyPair::Receive(size_t want, int timeout_ms) const {
  std::vector<uint8_t> got;
  const int64_t deadline = NowMs() + timeout_ms;
  while (got.size() < want) {
    int64_t left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    uint8_t chunk[4096];
    ssize_t n = read(master_, chunk, std::min(sizeof(chunk), want - got.size()));
    if (n > 0) {
      got.insert(got.end(), chunk, chunk + n);
    } else {
      usleep(5000);  // the slave is closed (EIO) or nothing yet
    }
  }
  return got;
}

void PtyPair::Discard() const {
  uint8_t chunk[4096];
  while (read(master_, chunk, sizeof(chunk)) > 0) {
  }
}

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
