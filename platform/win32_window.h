// The Win32 window-message subset that the serial port's notifications use:
// window handles, WM_USER, IsWindow, PostMessageA, SendMessageA and
// PostThreadMessageA.
//
// On Windows this is the system's own API. Linux has no windows and no thread
// message queues, so the POSIX implementation knows no window: IsWindow is
// FALSE for every handle, posting or sending to a window fails with
// ERROR_INVALID_WINDOW_HANDLE, and PostThreadMessageA fails with
// ERROR_INVALID_THREAD_ID. Front ends on Linux deliver by other means.
#pragma once

#include "win32_base.h"

#ifndef _WIN32

typedef struct HWND__ *HWND;

#define WM_USER 0x0400u

BOOL IsWindow(HWND hWnd);
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);

#endif  // !_WIN32
