#include "wire_line.h"

#include <algorithm>

namespace velloran::sim {

void WireLine::SetBaud(unsigned baud) {
  using namespace std::chrono;
  baud_ = baud;
  byteTime_ = duration_cast<Clock::duration>(nanoseconds(10'000'000'000LL / std::max(baud, 1u)));
}

WireLine::Clock::time_point WireLine::Transfer(size_t count, Clock::time_point start) {
  free_ = std::max(free_, start) + byteTime_ * static_cast<long long>(count);
  return free_;
}

}  // namespace velloran::sim
