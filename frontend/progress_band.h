// What a progress code does to the progress bar, in the dialog and in
// velloran-cli: its colour marks the phase (blue 0-100, green 101-200, red
// 201-300), the position the step within it.
#pragma once

#include <cstdint>
#include <optional>

namespace velloran {

// Colours as 0x00BBGGRR values.
inline constexpr uint32_t kBarBlue = 0xFF0000;
inline constexpr uint32_t kBarGreen = 0x00FF00;
inline constexpr uint32_t kBarRed = 0x0000FF;

struct BarState {
  uint32_t color;
  int position;  // 0 to 100
  int band;      // 0 blue, 1 green, 2 red
};

// The bar for a progress code; nothing (bar unchanged) outside 0 to 300.
std::optional<BarState> BarStateForCode(int code);

}  // namespace velloran
