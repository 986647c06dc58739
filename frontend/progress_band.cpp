#include "progress_band.h"

namespace velloran {

std::optional<BarState> BarStateForCode(int code) {
  if (code >= 0 && code <= 100) return BarState{kBarBlue, code, 0};
  if (code >= 101 && code <= 200) return BarState{kBarGreen, code - 100, 1};
  if (code >= 201 && code <= 300) return BarState{kBarRed, code - 200, 2};
  return std::nullopt;
}

}  // namespace velloran
