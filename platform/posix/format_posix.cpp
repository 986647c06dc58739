// wsprintfA: printf-style formatting into at most 1024 characters.
#include "win32_base.h"

#include <cstdarg>
#include <cstdio>

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  int n = vsnprintf(lpOut, 1024, lpFmt, args);
  va_end(args);
  if (n < 0) {
    lpOut[0] = '\0';
    return 0;
  }
  return n < 1024 ? n : 1023;
}
