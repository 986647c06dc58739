// A pseudo-terminal for the serial port tests: the test holds the master
// side, and a COM port name is mapped to the slave through
// VELLORAN_DEVICE_MAP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
 public:
  PtyPair();  // fails the current test when no pseudo-terminal can be had
  ~PtyPair();
  PtyPair(const PtyPair &) = delete;
  PtyPair &operator=(const PtyPair &) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string &SlavePath() const { return slave_; }
  // Points COM<port> at the slave (replacing any earlier mapping).
  void MapAs(unsigned port) const;

  // Writes all bytes to the line (the port reads them).
  void Send(const std::vector<uint8_t> &bytes) const;
  // Collects what the port wrote until want bytes came or timeout_ms passed.
  std::vector<uint8_t> Receive(size_t want, int timeout_ms) const;
  // Drops whatever the port wrote so far.
  void Discard() const;
  // Stops the port's output, as a device that signals busy does: its writes
  // are refused until ResumePortOutput. Call before the port opens.
  bool StopPortOutput();
  void ResumePortOutput();

 private:
  int master_ = -1;
  int slaveHold_ = -1;  // a slave descriptor that carries the output stop
  std::string slave_;
};

// Milliseconds on a monotonic clock.
int64_t NowMs();
