// The kernel object behind a file or device handle of CreateFileA/W.
//
// Every read, write, drain and comm-event wait on a device is a request in a
// queue of its handle. The caller's thread tries it at once without blocking;
// what cannot finish then is carried on by the handle's I/O thread, which
// waits with poll(2) on the descriptor and a wake-up descriptor, so every
// wait ends at the request's time-out, at PurgeComm, or at CloseHandle.
// Synchronous callers wait for their request; overlapped callers get
// ERROR_IO_PENDING and the record's event when it completes.
//
// All state is guarded by mutex_. The I/O thread holds it while it services
// requests (only non-blocking system calls) and drops it while it polls.
#pragma once

#include "event_object.h"
#include "win32_comm.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velloran::platform {

// One queued operation.
struct IoRequest {
  enum class Kind { kRead, kWrite, kDrain, kWaitEvent };

  Kind kind = Kind::kRead;
  LPOVERLAPPED overlapped = nullptr;  // null for synchronous callers
  Ref<EventObject> event;             // the record's event, if it has one
  BYTE *read_buffer = nullptr;        // the caller's, valid until completion
  std::vector<BYTE> write_data;       // copied at submission, as a driver does
  LPDWORD event_mask = nullptr;       // where WaitCommEvent's result goes
  DWORD events = 0;                   // the events that ended the wait
  DWORD length = 0;
  DWORD done = 0;

  // Time-outs, in MonotonicMillis(); 0 = none. They start when the request
  // becomes the head of its queue.
  bool started = false;
  bool return_at_once = false;   // read: MAXDWORD interval, no totals
  bool return_on_byte = false;   // read: MAXDWORD interval and multiplier
  uint64_t total_deadline = 0;
  DWORD interval = 0;            // read: gap allowed after the first byte
  uint64_t last_byte = 0;

  bool finished = false;
  DWORD error = ERROR_SUCCESS;
};

class FileObject final : public KernelObject {
 public:
  enum class Type { kRegular, kDevice, kTty };

  FileObject(int fd, Type type, bool overlapped, bool readable, bool writable);
  ~FileObject() override;

  void OnClose() override;

  Type type() const { return type_; }
  bool is_tty() const { return type_ == Type::kTty; }
  // The descriptor until OnClose; for a port claim, taken right after the open.
  int fd() const { return fd_; }
  // This open set the terminal's exclusivity, so its close clears it.
  void MarkExclusiveSetHere() { set_exclusive_ = true; }

  // With the lock held: false, with the last error set, once the handle is
  // closing, or when a tty is needed and this is none.
  bool Ready(bool need_tty) const;

  // file and overlapped I/O (overlapped_posix.cpp)
  BOOL Read(LPVOID buffer, DWORD length, LPDWORD transferred, LPOVERLAPPED overlapped);
  BOOL Write(LPCVOID buffer, DWORD length, LPDWORD transferred, LPOVERLAPPED overlapped);
  BOOL OverlappedResult(LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
  BOOL Flush();

  // comm events (comm_events_posix.cpp)
  BOOL SetMask(DWORD mask);
  BOOL WaitEvent(LPDWORD mask, LPOVERLAPPED overlapped);

  // purging and status (comm_status_posix.cpp)
  BOOL Purge(DWORD flags);
  BOOL ClearErrors(LPDWORD errors, LPCOMSTAT stat);
  BOOL ModemStatus(LPDWORD status);
  BOOL ClearBreak();

  // settings (comm_state_posix.cpp)
  BOOL Setup(DWORD in_queue, DWORD out_queue);
  BOOL GetTimeouts(LPCOMMTIMEOUTS timeouts);
  BOOL SetTimeouts(const COMMTIMEOUTS &timeouts);
  BOOL GetState(LPDCB dcb);
  BOOL SetState(const DCB &dcb);

 private:
  using Lock = std::unique_lock<std::mutex>;
  using RequestPtr = std::shared_ptr<IoRequest>;

  // Requests (overlapped_posix.cpp).
  static RequestPtr NewRequest(IoRequest::Kind kind, LPOVERLAPPED overlapped, bool *valid);
  BOOL StartTransfer(IoRequest::Kind kind, const void *buffer, DWORD length, LPDWORD transferred,
                     LPOVERLAPPED overlapped);
  BOOL Submit(const RequestPtr &request, LPDWORD transferred, Lock &lock);
  BOOL RegularFileIo(const RequestPtr &request, LPDWORD transferred, Lock &lock);
  static BOOL Outcome(const IoRequest &request, LPDWORD transferred);
  void Finish(const RequestPtr &request, DWORD error);
  void AbortQueue(std::deque<RequestPtr> &queue);
  void AbortAll();
  bool Advance(IoRequest &request, uint64_t now);
  void StartTimers(IoRequest &request, uint64_t now);
  bool AdvanceRead(IoRequest &request, uint64_t now);
  bool AdvanceWrite(IoRequest &request, uint64_t now);
  bool AdvanceDrain(IoRequest &request, uint64_t now);
  void ServiceQueue(std::deque<RequestPtr> &queue, uint64_t now);
  void Service(uint64_t now);
  RequestPtr FindPending(LPOVERLAPPED overlapped) const;
  DWORD PendingWriteBytes() const;
  bool HasPendingWrites() const;
  DWORD FailIo(int error);

  // The I/O thread (overlapped_posix.cpp).
  bool StartIoThread();
  void WakeIoThread();
  void IoThreadMain();

  // Event history (comm_events_posix.cpp).
  void NoteArrivals();
  void NoteConsumed();
  void NoteTxDrained();
  void NoteModemChanges();
  void NoteLineErrors();
  void UpdateHistory();
  void RefreshBaselines();
  bool AdvanceWait(IoRequest &request);
  bool NeedsPeriodicChecks() const;
  bool WantsArrivalPoll() const;

  // Line settings that termios cannot hold (comm_state_posix.cpp).
  struct DcbExtras {
    DWORD dtr_control = DTR_CONTROL_ENABLE;
    DWORD rts_control = RTS_CONTROL_ENABLE;
    bool outx_cts_flow = false;
    bool tx_continue_on_xoff = false;
    WORD xon_limit = 2048;
    WORD xoff_limit = 512;
    char error_char = 0;
    char eof_char = 0;
    char event_char = 0;
  };

  const Type type_;
  const bool overlapped_;
  const bool readable_;
  const bool writable_;

  mutable std::mutex mutex_;
  std::condition_variable completed_;  // a request finished
  int fd_;
  bool set_exclusive_ = false;
  bool closing_ = false;
  bool hung_up_ = false;  // the far end went away: reads and writes fail

  std::deque<RequestPtr> reads_;
  std::deque<RequestPtr> writes_;  // writes and drains, in order
  RequestPtr wait_;                // the one pending WaitCommEvent

  COMMTIMEOUTS timeouts_{};
  DcbExtras extras_;

  // Comm-event state.
  DWORD mask_ = 0;
  DWORD history_ = 0;        // events seen since the mask was set, not yet reported
  DWORD last_in_queue_ = 0;  // input bytes queued when last looked at
  bool tx_armed_ = false;    // bytes were written and EV_TXEMPTY is still due
  bool modem_readable_ = true;
  DWORD last_modem_ = 0;
  bool counters_readable_ = true;
  struct LineCounters {
    int brk = 0, frame = 0, overrun = 0, parity = 0, buf_overrun = 0;
  } last_counters_;
  DWORD errors_ = 0;  // CE_ bits not yet reported by ClearCommError

  // The I/O thread.
  std::thread io_thread_;
  int wake_fd_ = -1;
  short last_revents_ = 0;
  bool read_poll_unreliable_ = false;   // poll said readable, read said EAGAIN
  bool write_poll_unreliable_ = false;  // likewise for writes

};

// The file object behind a handle; empty with ERROR_INVALID_HANDLE otherwise.
Ref<FileObject> LookupFile(HANDLE handle);

// The body of a Win32 entry point: runs fn on the file object behind the
// handle. FALSE with ERROR_INVALID_HANDLE for other handles, and with
// ERROR_INVALID_PARAMETER when `required` (an argument the call cannot do
// without) is null.
template <class Fn>
BOOL WithFile(HANDLE handle, const void *required, Fn fn) {
  Ref<FileObject> file = LookupFile(handle);
  if (!file) return FALSE;
  if (required == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return fn(*file.get());
}

// The Win32 error for an errno value of read, write or ioctl.
DWORD Win32ErrorFromErrno(int error);

// Puts a tty into raw mode: no echo, no line editing or translation, 8 data
// bits, receiver on, modem lines ignored. False with errno set on failure.
bool SetRawMode(int fd);

// Milliseconds between the periodic checks of drains and comm events.
inline constexpr uint64_t kPeriodicCheckMs = 10;

}  // namespace velloran::platform
