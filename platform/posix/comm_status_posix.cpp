// PurgeComm, ClearCommError, GetCommModemStatus and ClearCommBreak.
#include "file_object.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace velloran::platform {
namespace {

constexpr DWORD kPurgeFlags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// A pseudo-terminal has no modem lines and no break control; the driver
// says so with one of these.
bool NotSupportedHere(int error) { return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP; }

// The slave side of a pseudo-terminal (majors 136-143). What was written to
// it has already reached the other end, the simulated device: there is no
// transmit queue left to clear, and flushing would take back bytes that a
// synchronous write reported as written.
bool IsPseudoTerminalSlave(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

}  // namespace

BOOL FileObject::Purge(DWORD flags) {
  if ((flags & ~kPurgeFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  // Aborted requests end with ERROR_OPERATION_ABORTED and the bytes they had
  // moved so far.
  if (flags & PURGE_TXABORT) AbortQueue(writes_);
  if (flags & PURGE_RXABORT) AbortQueue(reads_);
  // Only a tty has queues to clear; for other nodes there is nothing to do.
  if (is_tty() && !hung_up_) {
    if ((flags & PURGE_TXCLEAR) && !IsPseudoTerminalSlave(fd_) && ioctl(fd_, TCFLSH, TCOFLUSH) != 0) {
      SetLastErrorFromErrno(errno);
      return FALSE;
    }
    if (flags & PURGE_RXCLEAR) {
      if (ioctl(fd_, TCFLSH, TCIFLUSH) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
      }
      last_in_queue_ = 0;
    }
  }
  return TRUE;
}

BOOL FileObject::ClearErrors(LPDWORD errors, LPCOMSTAT stat) {
  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  if (hung_up_) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  int in_queue = 0;
  int out_queue = 0;
  int lines = 0;
  bool cts_held = false;
  if (is_tty()) {
    if (ioctl(fd_, FIONREAD, &in_queue) != 0 || ioctl(fd_, TIOCOUTQ, &out_queue) != 0) {
      DWORD error = FailIo(errno);
      SetLastError(error);
      return FALSE;
    }
    NoteLineErrors();
    termios2 settings{};
    if (modem_readable_ && ioctl(fd_, TCGETS2, &settings) == 0 && (settings.c_cflag & CRTSCTS) &&
        ioctl(fd_, TIOCMGET, &lines) == 0) {
      cts_held = !(lines & TIOCM_CTS);
    }
  }
  if (errors) *errors = errors_;
  errors_ = 0;
  if (stat) {
    *stat = COMSTAT{};
    stat->fCtsHold = cts_held && out_queue + PendingWriteBytes() != 0;
    stat->cbInQue = static_cast<DWORD>(in_queue);
    // As on Windows: the driver's queue and what pending writes still hold.
    stat->cbOutQue = static_cast<DWORD>(out_queue) + PendingWriteBytes();
  }
  return TRUE;
}

BOOL FileObject::ModemStatus(LPDWORD status) {
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    if (!NotSupportedHere(errno)) {
      SetLastError(FailIo(errno));
      return FALSE;
    }
    lines = 0;
  }
  DWORD bits = 0;
  if (lines & TIOCM_CTS) bits |= MS_CTS_ON;
  if (lines & TIOCM_DSR) bits |= MS_DSR_ON;
  if (lines & TIOCM_RNG) bits |= MS_RING_ON;
  if (lines & TIOCM_CD) bits |= MS_RLSD_ON;
  *status = bits;
  return TRUE;
}

BOOL FileObject::ClearBreak() {
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  // A line that cannot send a break is never in the break state.
  if (ioctl(fd_, TIOCCBRK) != 0 && !NotSupportedHere(errno)) {
    SetLastError(FailIo(errno));
    return FALSE;
  }
  return TRUE;
}

}  // namespace velloran::platform

using namespace velloran::platform;

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
  return WithFile(hFile, hFile, [&](FileObject &file) { return file.Purge(dwFlags); });
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
  return WithFile(hFile, hFile, [&](FileObject &file) { return file.ClearErrors(lpErrors, lpStat); });
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat) {
  return WithFile(hFile, lpModemStat, [&](FileObject &file) { return file.ModemStatus(lpModemStat); });
}

BOOL ClearCommBreak(HANDLE hFile) {
  return WithFile(hFile, hFile, [](FileObject &file) { return file.ClearBreak(); });
}
