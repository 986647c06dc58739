#include "dialog_units.h"

#include <algorithm>

namespace velloran {
namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRounded(int a, int b, int c) {
  long long product = static_cast<long long>(a) * b;
  long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

// The average width is the alphabet's width over 26 letter pairs, rounded.
DialogUnits::DialogUnits(int alphabet_width, int char_height)
    : base_x_(std::max(1, (alphabet_width / 26 + 1) / 2)), base_y_(std::max(1, char_height)) {}

int DialogUnits::ToPixelsX(int units) const { return MulDivRounded(units, base_x_, 4); }

int DialogUnits::ToPixelsY(int units) const { return MulDivRounded(units, base_y_, 8); }

DialogRect DialogUnits::ToPixels(const DialogRect &rect) const {
  return {ToPixelsX(rect.x), ToPixelsY(rect.y), ToPixelsX(rect.cx), ToPixelsY(rect.cy)};
}

}  // namespace velloran
