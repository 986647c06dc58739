// Escaping control characters for the terminal.
#include "printable_text.h"

#include <cstdio>

#include "narrow_text.h"

namespace velloran::cli {

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = platform::NarrowCharLength(text, i);
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (length > 1) {
      out += text.substr(i, length);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  return out;
}

}  // namespace velloran::cli
