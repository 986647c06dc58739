// One direction of a serial line at a given baud rate: each byte takes
// 10 bits (start, 8 data, stop) / baud seconds, and bytes follow each other
// only once the line is free again.
#pragma once

#include <chrono>
#include <cstddef>

namespace velloran::sim {

class WireLine {
 public:
  using Clock = std::chrono::steady_clock;

  explicit WireLine(unsigned baud) { SetBaud(baud); }

  void SetBaud(unsigned baud);
  unsigned Baud() const { return baud_; }

  // Puts count bytes on the line, starting at start or as soon as the bytes
  // before them are through; returns when the last of them has crossed.
  Clock::time_point Transfer(size_t count, Clock::time_point start);

 private:
  unsigned baud_ = 0;
  Clock::duration byteTime_{};
  Clock::time_point free_{};
};

}  // namespace velloran::sim
