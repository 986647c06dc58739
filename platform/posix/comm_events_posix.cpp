// SetCommMask and WaitCommEvent.
//
// As a serial driver does, the handle keeps a history of the events of its
// mask that happened since the mask was set and were not yet reported. The
// events are seen where Linux shows them: EV_RXCHAR when the input queue
// grows (poll(2) while it is empty, its size every few milliseconds while it
// is not), EV_TXEMPTY when the output queue has drained after a write, the
// modem lines through TIOCMGET and line errors and breaks through
// TIOCGICOUNT where the driver has them (a pseudo-terminal has neither, so
// there those events never fire). EV_RXFLAG is accepted but never fires: a
// tty cannot show a received character without taking it from the reader.
#include "file_object.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <utility>

namespace velloran::platform {
namespace {

constexpr DWORD kKnownEvents = EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD |
                               EV_BREAK | EV_ERR | EV_RING;
constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr DWORD kLineErrorEvents = EV_BREAK | EV_ERR;

DWORD ModemEventsFor(int changed, int now_on) {
  DWORD events = 0;
  if (changed & TIOCM_CTS) events |= EV_CTS;
  if (changed & TIOCM_DSR) events |= EV_DSR;
  if (changed & TIOCM_CD) events |= EV_RLSD;
  if (changed & now_on & TIOCM_RNG) events |= EV_RING;  // the ring starts
  return events;
}

}  // namespace

void FileObject::NoteArrivals() {
  if (!is_tty() || !(mask_ & EV_RXCHAR) || hung_up_) return;
  int queued = 0;
  if (ioctl(fd_, FIONREAD, &queued) != 0) {
    if (errno == EIO) hung_up_ = true;
    return;
  }
  if (static_cast<DWORD>(queued) > last_in_queue_) history_ |= EV_RXCHAR;
  last_in_queue_ = static_cast<DWORD>(queued);
}

void FileObject::NoteConsumed() {
  int queued = 0;
  if (is_tty() && ioctl(fd_, FIONREAD, &queued) == 0) last_in_queue_ = static_cast<DWORD>(queued);
}

void FileObject::NoteTxDrained() {
  if (!tx_armed_ || HasPendingWrites()) return;
  int queued = 0;
  if (is_tty() && ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued != 0) return;
  tx_armed_ = false;
  history_ |= mask_ & EV_TXEMPTY;
}

void FileObject::NoteModemChanges() {
  if (!is_tty() || !(mask_ & kModemEvents) || !modem_readable_) return;
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) != 0) {
    modem_readable_ = errno == EIO;  // a pseudo-terminal has no modem lines
    return;
  }
  history_ |= mask_ & ModemEventsFor(lines ^ static_cast<int>(last_modem_), lines);
  last_modem_ = static_cast<DWORD>(lines);
}

void FileObject::NoteLineErrors() {
  if (!is_tty() || !counters_readable_) return;
  serial_icounter_struct counts{};
  if (ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
    counters_readable_ = errno == EIO;
    return;
  }
  LineCounters now{counts.brk, counts.frame, counts.overrun, counts.parity, counts.buf_overrun};
  DWORD errors = 0;
  if (now.brk != last_counters_.brk) errors |= CE_BREAK;
  if (now.frame != last_counters_.frame) errors |= CE_FRAME;
  if (now.overrun != last_counters_.overrun) errors |= CE_OVERRUN;
  if (now.parity != last_counters_.parity) errors |= CE_RXPARITY;
  if (now.buf_overrun != last_counters_.buf_overrun) errors |= CE_RXOVER;
  last_counters_ = now;
  errors_ |= errors;
  if (errors & CE_BREAK) history_ |= mask_ & EV_BREAK;
  if (errors & ~CE_BREAK) history_ |= mask_ & EV_ERR;
}

void FileObject::UpdateHistory() {
  NoteArrivals();
  NoteTxDrained();
  NoteModemChanges();
  if (mask_ & kLineErrorEvents) NoteLineErrors();
}

// Takes the current queue size, modem lines and error counts as the state
// from which the next events count.
void FileObject::RefreshBaselines() {
  NoteConsumed();
  NoteLineErrors();  // keeps errors for ClearCommError
  int lines = 0;
  if (is_tty() && modem_readable_ && ioctl(fd_, TIOCMGET, &lines) == 0) {
    last_modem_ = static_cast<DWORD>(lines);
  }
}

bool FileObject::AdvanceWait(IoRequest &request) {
  if (hung_up_) {
    request.error = ERROR_DEVICE_NOT_CONNECTED;
    return true;
  }
  DWORD events = history_ & mask_;
  if (events == 0) return false;
  request.events = events;
  history_ &= ~events;
  return true;
}

bool FileObject::WantsArrivalPoll() const { return (mask_ & EV_RXCHAR) && last_in_queue_ == 0; }

bool FileObject::NeedsPeriodicChecks() const {
  return ((mask_ & EV_RXCHAR) && last_in_queue_ != 0) || ((mask_ & EV_TXEMPTY) && tx_armed_) ||
         ((mask_ & kModemEvents) && modem_readable_) ||
         ((mask_ & kLineErrorEvents) && counters_readable_);
}

BOOL FileObject::SetMask(DWORD mask) {
  if ((mask & ~kKnownEvents) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  // A pending wait ends successfully with no events, whoever sets the mask.
  if (wait_) {
    RequestPtr ended = std::exchange(wait_, nullptr);
    ended->events = 0;
    Finish(ended, ERROR_SUCCESS);
  }
  mask_ = mask;
  history_ = 0;
  RefreshBaselines();
  return TRUE;
}

BOOL FileObject::WaitEvent(LPDWORD mask, LPOVERLAPPED overlapped) {
  if (mask == nullptr || (overlapped_ && overlapped == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool valid;
  RequestPtr request = NewRequest(IoRequest::Kind::kWaitEvent, overlapped, &valid);
  if (!valid) return FALSE;
  request->event_mask = mask;

  Lock lock(mutex_);
  if (!Ready(true)) return FALSE;
  if (hung_up_) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  // One wait at a time, and only for a mask that can end it.
  if (wait_ || mask_ == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Submit(request, nullptr, lock);
}

}  // namespace velloran::platform

using namespace velloran::platform;

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
  return WithFile(hFile, hFile, [&](FileObject &file) { return file.SetMask(dwEvtMask); });
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
  return WithFile(hFile, lpEvtMask, [&](FileObject &file) { return file.WaitEvent(lpEvtMask, lpOverlapped); });
}
