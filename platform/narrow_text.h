// The program's narrow texts as UTF-8, for output that must be UTF-8 (JSON).
// Narrow texts are UTF-8 on Linux already; the Windows build keeps them in
// code page 936, the code page of its users' systems.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#include "win32_base.h"
#endif

namespace velloran::platform {

#ifdef _WIN32
// The code page of the narrow texts.
inline constexpr UINT kNarrowCodePage = 936;

// Text of one code page in another, by way of UTF-16.
inline std::string Recoded(std::string_view text, UINT from, UINT to) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide_length = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
  if (wide_length <= 0) return {};
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(from, 0, text.data(), size, wide.data(), wide_length);
  const int length = WideCharToMultiByte(to, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string recoded(static_cast<size_t>(length > 0 ? length : 0), '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_length, recoded.data(), length, nullptr, nullptr);
  return recoded;
}
#endif

// Bytes that are no text of the code page become U+FFFD.
inline std::string NarrowTextToUtf8(std::string_view text) {
#ifdef _WIN32
  return Recoded(text, kNarrowCodePage, CP_UTF8);
#else
  return std::string(text);
#endif
}

// The bytes of the character that starts at text[at]: one, or on Windows two
// for a double-byte character of code page 936, whose second byte may look
// like '\\' or a letter.
inline size_t NarrowCharLength(std::string_view text, size_t at) {
#ifdef _WIN32
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead >= 0x81 && lead <= 0xFE && at + 1 < text.size()) return 2;
#else
  (void)text;
  (void)at;
#endif
  return 1;
}

// UTF-8 (another process's JSON) back to a narrow text of the program.
inline std::string Utf8ToNarrowText(std::string_view utf8) {
#ifdef _WIN32
  return Recoded(utf8, CP_UTF8, kNarrowCodePage);
#else
  return std::string(utf8);
#endif
}

}  // namespace velloran::platform
