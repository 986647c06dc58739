// WideCharToMultiByte: wide text (UTF-32 wchar_t) to UTF-8, the narrow text
// of this system.
#include "utf8_encoding.h"
#include "win32_setupapi.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

using velloran::platform::AppendUtf8;
using velloran::platform::IsScalarValue;

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL *lpUsedDefaultChar) {
  const bool known_page = CodePage == CP_ACP || CodePage == CP_OEMCP ||
                          CodePage == CP_THREAD_ACP || CodePage == CP_UTF8;
  // As for UTF-8 on Windows: no default character, no flags but strictness.
  if (!known_page || !lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr) || lpDefaultChar ||
      lpUsedDefaultChar || (dwFlags & ~WC_ERR_INVALID_CHARS) ||
      (lpMultiByteStr && static_cast<const void *>(lpMultiByteStr) ==
                             static_cast<const void *>(lpWideCharStr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t count = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1
                                         : static_cast<size_t>(cchWideChar);
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    char32_t c = static_cast<char32_t>(lpWideCharStr[i]);
    if (!IsScalarValue(c)) {
      if (dwFlags & WC_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      c = kReplacement;
    }
    AppendUtf8(c, out);
  }
  if (out.size() > 0x7FFFFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  out.copy(lpMultiByteStr, out.size());
  return static_cast<int>(out.size());
}
