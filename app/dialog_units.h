// Dialog units to pixels, as a dialog with its own font computes them: one
// horizontal unit is a quarter of the font's average character width, one
// vertical unit an eighth of its height.
#pragma once

#include "dialog_template.h"

namespace velloran {

class DialogUnits {
 public:
  // alphabet_width: the pixel width of "A".."Z" followed by "a".."z";
  // char_height: the font's ascent plus descent in pixels.
  DialogUnits(int alphabet_width, int char_height);

  int base_x() const { return base_x_; }
  int base_y() const { return base_y_; }
  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  DialogRect ToPixels(const DialogRect &rect) const;

 private:
  int base_x_;
  int base_y_;
};

// The 52 letters whose width gives the average character width.
inline constexpr const char *kDialogUnitAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace velloran
