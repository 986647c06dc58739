// The one progress bar of a running upgrade, drawn on a terminal: the phase
// named, the bar as wide as the terminal allows, the share done and the time
// left, in the colour of the dialog's band unless colour is off.
#pragma once

#include <string>
#include <string_view>

namespace velloran::cli {

struct BarLook {
  int columns = 80;  // the terminal's width; the line stays one column short of it
  bool colour = true;
};

// band: 0 blue, 1 green, 2 red (as the dialog's bar), -1 none.
// The line has no line end and is padded to its full width, so that it
// overwrites a longer one after a carriage return.
std::string DrawProgressBar(std::string_view phase, double fraction, int band, std::string_view timeLeft,
                            const BarLook &look);

// Colour unless NO_COLOR is set (to anything but empty) or TERM is "dumb".
bool ColourWanted(const char *noColor, const char *term);

// The columns a UTF-8 text takes on a terminal: East Asian wide characters
// take two.
int DisplayWidth(std::string_view utf8);
// The same for a text in the system's narrow encoding, and that text padded
// with spaces to a width.
int NarrowTextWidth(const std::string &text);
std::string PaddedToWidth(std::string text, int width);

}  // namespace velloran::cli
