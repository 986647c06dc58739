// The tool's end of a simulated printer's port, for the tests: the slave of
// the pseudo-terminal opened and driven the way a host program drives a
// serial device.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velloran::sim::test {

class HostPort {
 public:
  // Opens the node in raw mode; check IsOpen.
  explicit HostPort(const std::string &node);
  ~HostPort();
  HostPort(const HostPort &) = delete;
  HostPort &operator=(const HostPort &) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  bool SetBaudRate(unsigned baud);
  bool Write(const std::vector<uint8_t> &bytes);
  // Reads until count bytes came or timeout passed; returns what came.
  std::vector<uint8_t> Read(size_t count, std::chrono::milliseconds timeout);
  // Whether a write would be taken now.
  bool Writable(std::chrono::milliseconds wait);

 private:
  int fd_ = -1;
};

// A frame as the tool builds it: head, command, length, payload, checksum.
std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t> &payload = {});
// The reply the boot loader sends: the request layout with the status in
// the command's place.
std::vector<uint8_t> Reply(uint8_t status, const std::vector<uint8_t> &payload = {});

}  // namespace velloran::sim::test
