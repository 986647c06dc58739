// Window messages on POSIX: there are no windows and no thread message
// queues, so every target is unknown and every delivery fails as Win32
// reports an unknown target.
#include "win32_window.h"

BOOL IsWindow(HWND) { return FALSE; }

BOOL PostMessageA(HWND, UINT, WPARAM, LPARAM) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return FALSE;
}

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return 0;
}

BOOL PostThreadMessageA(DWORD, UINT, WPARAM, LPARAM) {
  SetLastError(ERROR_INVALID_THREAD_ID);
  return FALSE;
}
