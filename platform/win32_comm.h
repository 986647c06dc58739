// The Win32 file and communications subset: device files, overlapped I/O,
// serial line settings, time-outs, purging, comm events and modem status.
//
// On Windows this is the system's own API. On Linux it is implemented in
// platform/posix/ on termios and poll(2); see the notes at each group for the
// behaviour that the callers rely on.
#pragma once

#include "win32_base.h"

#ifndef _WIN32

// CreateFile access, sharing, disposition and attributes.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_ALL 0x10000000u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OVERLAPPED 0x40000000u

// Errors of CreateFile beyond those of win32_base.h.
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_NAME 123u
#define ERROR_ALREADY_EXISTS 183u

// An overlapped operation's record. hEvent is signalled when the operation
// completes; Internal and InternalHigh carry its status and byte count.
typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    LPVOID Pointer;
  };
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// Internal holds STATUS_PENDING while the operation runs; afterwards the
// Linux implementation keeps the outcome's Win32 error code there.
#define STATUS_PENDING 0x00000103u
#define HasOverlappedIoCompleted(lpOverlapped) ((DWORD)(lpOverlapped)->Internal != STATUS_PENDING)

// Line settings. The bit fields stand in the order of the Windows structure.
typedef struct _DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  DWORD fBinary : 1;
  DWORD fParity : 1;
  DWORD fOutxCtsFlow : 1;
  DWORD fOutxDsrFlow : 1;
  DWORD fDtrControl : 2;
  DWORD fDsrSensitivity : 1;
  DWORD fTXContinueOnXoff : 1;
  DWORD fOutX : 1;
  DWORD fInX : 1;
  DWORD fErrorChar : 1;
  DWORD fNull : 1;
  DWORD fRtsControl : 2;
  DWORD fAbortOnError : 1;
  DWORD fDummy2 : 17;
  WORD wReserved;
  WORD XonLim;
  WORD XoffLim;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  WORD wReserved1;
} DCB, *LPDCB;
static_assert(sizeof(DCB) == 28, "DCB has the Windows layout");

typedef struct _COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
} COMMTIMEOUTS, *LPCOMMTIMEOUTS;

typedef struct _COMSTAT {
  DWORD fCtsHold : 1;
  DWORD fDsrHold : 1;
  DWORD fRlsdHold : 1;
  DWORD fXoffHold : 1;
  DWORD fXoffSent : 1;
  DWORD fEof : 1;
  DWORD fTxim : 1;
  DWORD fReserved : 25;
  DWORD cbInQue;
  DWORD cbOutQue;
} COMSTAT, *LPCOMSTAT;

// Baud rates, parity, stop bits, DTR and RTS control.
#define CBR_14400 14400u
#define CBR_19200 19200u
#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2
#define DTR_CONTROL_ENABLE 0x01
#define DTR_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_ENABLE 0x01
#define RTS_CONTROL_HANDSHAKE 0x02
#define RTS_CONTROL_TOGGLE 0x03

// PurgeComm flags.
#define PURGE_TXABORT 0x0001u
#define PURGE_RXABORT 0x0002u
#define PURGE_TXCLEAR 0x0004u
#define PURGE_RXCLEAR 0x0008u

// Comm events.
#define EV_RXCHAR 0x0001u
#define EV_RXFLAG 0x0002u
#define EV_TXEMPTY 0x0004u
#define EV_CTS 0x0008u
#define EV_DSR 0x0010u
#define EV_RLSD 0x0020u
#define EV_BREAK 0x0040u
#define EV_ERR 0x0080u
#define EV_RING 0x0100u

// ClearCommError error bits.
#define CE_RXOVER 0x0001u
#define CE_OVERRUN 0x0002u
#define CE_RXPARITY 0x0004u
#define CE_FRAME 0x0008u
#define CE_BREAK 0x0010u

// GetCommModemStatus bits.
#define MS_CTS_ON 0x0010u
#define MS_DSR_ON 0x0020u
#define MS_RING_ON 0x0040u
#define MS_RLSD_ON 0x0080u

// Files and devices. Names: "\\.\COMn", "COMn" and "LPTn" are mapped to
// device nodes (see platform/device_names.h); a name starting with '/' is used
// as it stands. Opens of devices are exclusive: a device held by another
// handle or process, or one the user may not open, fails with
// ERROR_ACCESS_DENIED; a missing one with ERROR_FILE_NOT_FOUND.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// Reads and writes. Without FILE_FLAG_OVERLAPPED they block under the
// handle's COMMTIMEOUTS. With it and an OVERLAPPED record, an operation that
// cannot finish at once fails with ERROR_IO_PENDING after resetting the
// record's event; it completes in the background under the same time-outs,
// then sets the event. GetOverlappedResult(wait=TRUE) blocks until then.
// A read or write that runs out of time succeeds with the count it reached;
// PURGE_RXABORT/PURGE_TXABORT and CloseHandle end pending operations with
// ERROR_OPERATION_ABORTED. A write takes its bytes at the call, so the
// buffer is free again while the write is pending. FlushFileBuffers waits
// for pending writes and for the driver to send what it holds.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
BOOL FlushFileBuffers(HANDLE hFile);

// Serial configuration and state. The line settings, modem status, break
// and comm events need a tty and fail with ERROR_INVALID_FUNCTION elsewhere;
// time-outs and PurgeComm work on every device node (purging a node that
// has no queues is a silent success). SetCommState refuses with
// ERROR_INVALID_PARAMETER what the line cannot carry out (DSR/DTR handshake,
// RTS toggling, null stripping, error replacement, abort on error, a frame
// the driver keeps to itself such as 7 bits on a pseudo-terminal).
// A pseudo-terminal has no modem lines: GetCommModemStatus reports 0.
// A line that hung up (the far end of a pseudo-terminal closed, a USB
// adapter was unplugged) fails every later call with
// ERROR_DEVICE_NOT_CONNECTED.
BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);
BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
BOOL ClearCommBreak(HANDLE hFile);
BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);

// Comm events. SetCommMask from any thread completes a pending WaitCommEvent
// with a mask of 0. One wait may be pending at a time. EV_CTS, EV_DSR,
// EV_RLSD and EV_RING need modem lines, EV_BREAK and EV_ERR a driver that
// counts line errors; EV_RXFLAG never fires on Linux.
BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);

#endif  // !_WIN32
