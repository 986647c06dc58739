// Drawing the bar.
#include "progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "narrow_text.h"

namespace velloran::cli {
namespace {

constexpr const char *kBandColours[3] = {"\x1b[34m", "\x1b[32m", "\x1b[31m"};  // blue, green, red
constexpr char kResetColour[] = "\x1b[0m";
constexpr int kMinimumCells = 5;

bool IsWide(unsigned code) {
  return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
         (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
         (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
         (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
}

}  // namespace

int DisplayWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = std::min(length, utf8.size() - i);
    unsigned code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    width += IsWide(code) ? 2 : 1;
    i += length;
  }
  return width;
}

int NarrowTextWidth(const std::string &text) { return DisplayWidth(platform::NarrowTextToUtf8(text)); }

std::string PaddedToWidth(std::string text, int width) {
  text.append(static_cast<size_t>(std::max(0, width - NarrowTextWidth(text))), ' ');
  return text;
}

std::string DrawProgressBar(std::string_view phase, double fraction, int band, std::string_view timeLeft,
                            const BarLook &look) {
  const int width = std::max(1, look.columns - 1);
  fraction = std::clamp(fraction, 0.0, 1.0);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
  std::string head = std::string(phase) + "  ";
  std::string tail = std::string(" ") + percent + (timeLeft.empty() ? "" : "  ") + std::string(timeLeft);
  // What does not fit goes: first the phase's padding, then the time left,
  // then the phase.
  const auto fits = [&] { return width - NarrowTextWidth(head) - NarrowTextWidth(tail) - 2 >= kMinimumCells; };
  if (!fits()) head = std::string(phase.substr(0, phase.find_last_not_of(' ') + 1)) + "  ";
  if (!fits()) tail = std::string(" ") + percent;
  if (!fits()) head.clear();
  const int cells = std::max(0, width - NarrowTextWidth(head) - NarrowTextWidth(tail) - 2);
  const int filled = static_cast<int>(fraction * cells);
  std::string line = head + "[";
  const bool coloured = look.colour && band >= 0 && band < 3;
  if (coloured) line += kBandColours[band];
  line.append(static_cast<size_t>(filled), '#');
  if (coloured) line += kResetColour;
  line.append(static_cast<size_t>(cells - filled), '.');
  line += "]" + tail;
  const int used = NarrowTextWidth(head) + cells + 2 + NarrowTextWidth(tail);
  if (used < width) line.append(static_cast<size_t>(width - used), ' ');
  return line;
}

bool ColourWanted(const char *noColor, const char *term) {
  if (noColor != nullptr && *noColor != '\0') return false;
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

}  // namespace velloran::cli
