// The Win32 base subset that Velloran is written against: types, error
// codes, handles, time, events, threads and critical sections.
//
// On Windows this is the system's own API. On Linux the same names are
// implemented on POSIX in platform/posix/, with the behaviour that the Win32
// documentation gives for the arguments this program uses. Code outside
// platform/ includes this header (or a sibling win32_*.h) and never asks which
// system it runs on.
//
// Thread rules (Linux implementation): every function may be called from any
// thread. Handles are reference-counted objects: CloseHandle on one thread
// while another still waits on the same handle is safe; the waiter finishes
// its wait and the object goes away after the last user.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <process.h>
#else

#include <cstdint>
#include <cwchar>

typedef uint32_t DWORD;
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef wchar_t WCHAR;
typedef void *HANDLE;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef const WCHAR *LPCWSTR;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

#define WINAPI
#define CALLBACK
#define __stdcall

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFFu
#define MAXDWORD 0xFFFFFFFFu

// Wait results.
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

// Error codes (winerror.h values).
#define ERROR_SUCCESS 0u
#define ERROR_INVALID_FUNCTION 1u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_GEN_FAILURE 31u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_NO_MORE_ITEMS 259u
#define ERROR_OPERATION_ABORTED 995u
#define ERROR_IO_INCOMPLETE 996u
#define ERROR_IO_PENDING 997u
#define ERROR_DEVICE_NOT_CONNECTED 1167u
#define ERROR_BAD_DEVICE 1200u
#define ERROR_INVALID_WINDOW_HANDLE 1400u
#define ERROR_INVALID_THREAD_ID 1444u
#define ERROR_TIMEOUT 1460u

// Thread creation and priorities.
#define CREATE_SUSPENDED 0x00000004u
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_TIME_CRITICAL 15

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// A recursive lock, as on Windows. The storage holds the POSIX lock object;
// its layout is private to platform/posix/sync_posix.cpp.
typedef struct _CRITICAL_SECTION {
  alignas(16) unsigned char opaque[64];
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

// Errors.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Time. GetTickCount counts milliseconds from an arbitrary start on a
// monotonic clock and wraps after 49.7 days, as on Windows.
DWORD GetTickCount();
void Sleep(DWORD dwMilliseconds);

// Handles and waiting.
BOOL CloseHandle(HANDLE hObject);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Events.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                    BOOL bInitialState, LPCSTR lpName);
#define CreateEvent CreateEventA
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// Threads. A thread handle is signalled when the thread's function has
// returned (or called _endthreadex).
UINT_PTR _beginthreadex(void *security, unsigned stack_size,
                        unsigned(__stdcall *start_address)(void *), void *arglist,
                        unsigned initflag, unsigned *thrdaddr);
[[noreturn]] void _endthreadex(unsigned retval);
DWORD ResumeThread(HANDLE hThread);
BOOL SetThreadPriority(HANDLE hThread, int nPriority);
DWORD GetCurrentThreadId();
// A thread cannot be stopped safely from outside on POSIX: this fails with
// ERROR_NOT_SUPPORTED for a thread that still runs (and succeeds for one
// that has already ended), and callers take their failure path.
BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);

// Critical sections (recursive).
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Formatting: printf-style into a buffer of at most 1024 characters, as
// wsprintfA; returns the number of characters stored without the zero.
int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);

#endif  // _WIN32
