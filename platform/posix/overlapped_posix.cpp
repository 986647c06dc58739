// ReadFile, WriteFile, GetOverlappedResult and FlushFileBuffers: requests
// under COMMTIMEOUTS, carried on by the handle's I/O thread.
#include "file_object.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <system_error>
#include <utility>
#include <unistd.h>

namespace velloran::platform {

FileObject::RequestPtr FileObject::NewRequest(IoRequest::Kind kind, LPOVERLAPPED overlapped,
                                              bool *valid) {
  auto request = std::make_shared<IoRequest>();
  request->kind = kind;
  request->overlapped = overlapped;
  *valid = true;
  if (overlapped != nullptr && overlapped->hEvent != nullptr) {
    request->event = LookupEvent(overlapped->hEvent);
    *valid = static_cast<bool>(request->event);  // ERROR_INVALID_HANDLE is set
  }
  return request;
}

BOOL FileObject::Outcome(const IoRequest &request, LPDWORD transferred) {
  if (transferred) *transferred = request.done;
  if (request.error != ERROR_SUCCESS) {
    SetLastError(request.error);
    return FALSE;
  }
  return TRUE;
}

void FileObject::Finish(const RequestPtr &request, DWORD error) {
  request->finished = true;
  request->error = error;
  if (request->kind == IoRequest::Kind::kWaitEvent) {
    if (request->event_mask) *request->event_mask = error == ERROR_SUCCESS ? request->events : 0;
    request->done = sizeof(DWORD);
  }
  if (LPOVERLAPPED record = request->overlapped) {
    record->Internal = error;
    record->InternalHigh = request->done;
  }
  if (request->event) request->event->Set();
  completed_.notify_all();
}

void FileObject::AbortQueue(std::deque<RequestPtr> &queue) {
  for (const RequestPtr &request : queue) Finish(request, ERROR_OPERATION_ABORTED);
  queue.clear();
}

void FileObject::AbortAll() {
  AbortQueue(reads_);
  AbortQueue(writes_);
  if (wait_) Finish(std::exchange(wait_, nullptr), ERROR_OPERATION_ABORTED);
}

FileObject::RequestPtr FileObject::FindPending(LPOVERLAPPED overlapped) const {
  for (const auto *queue : {&reads_, &writes_}) {
    for (const RequestPtr &request : *queue) {
      if (request->overlapped == overlapped) return request;
    }
  }
  if (wait_ && wait_->overlapped == overlapped) return wait_;
  return nullptr;
}

DWORD FileObject::PendingWriteBytes() const {
  DWORD bytes = 0;
  for (const RequestPtr &request : writes_) {
    if (request->kind == IoRequest::Kind::kWrite) bytes += request->length - request->done;
  }
  return bytes;
}

bool FileObject::HasPendingWrites() const {
  return std::any_of(writes_.begin(), writes_.end(),
                     [](const RequestPtr &r) { return r->kind == IoRequest::Kind::kWrite; });
}

// The error for a failed read or write; on a tty an I/O error means that
// the line hung up (the far end of a pseudo-terminal closed, the adapter was
// unplugged), and from then on every request fails at once.
DWORD FileObject::FailIo(int error) {
  if (error == EIO && type_ != Type::kRegular) hung_up_ = true;
  return hung_up_ ? ERROR_DEVICE_NOT_CONNECTED : Win32ErrorFromErrno(error);
}

void FileObject::StartTimers(IoRequest &request, uint64_t now) {
  request.started = true;
  const COMMTIMEOUTS &t = timeouts_;
  uint64_t total = 0;
  switch (request.kind) {
    case IoRequest::Kind::kRead:
      if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
          t.ReadTotalTimeoutConstant == 0) {
        request.return_at_once = true;
      } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                 t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD) {
        request.return_on_byte = true;
        total = t.ReadTotalTimeoutConstant;
      } else {
        total = uint64_t{t.ReadTotalTimeoutMultiplier} * request.length + t.ReadTotalTimeoutConstant;
        request.interval = t.ReadIntervalTimeout == MAXDWORD ? 0 : t.ReadIntervalTimeout;
      }
      break;
    case IoRequest::Kind::kWrite:
      total = uint64_t{t.WriteTotalTimeoutMultiplier} * request.length + t.WriteTotalTimeoutConstant;
      break;
    case IoRequest::Kind::kDrain: {
      // As long as the bytes still queued may take under the write time-outs.
      int queued = 0;
      if (is_tty() && ioctl(fd_, TIOCOUTQ, &queued) != 0) queued = 0;
      total = uint64_t{t.WriteTotalTimeoutMultiplier} * static_cast<DWORD>(queued) +
              t.WriteTotalTimeoutConstant;
      break;
    }
    case IoRequest::Kind::kWaitEvent:
      break;
  }
  if (total != 0) request.total_deadline = now + total;
}

bool FileObject::AdvanceRead(IoRequest &request, uint64_t now) {
  bool got_bytes = false;
  while (!hung_up_ && request.done < request.length) {
    ssize_t n = ::read(fd_, request.read_buffer + request.done, request.length - request.done);
    if (n > 0) {
      request.done += static_cast<DWORD>(n);
      request.last_byte = now;
      got_bytes = true;
      continue;
    }
    if (n == 0) {
      // A tty reads nothing only once it has hung up; other devices may
      // say so when they have no data.
      if (is_tty() || (last_revents_ & POLLHUP)) {
        hung_up_ = true;
      } else {
        read_poll_unreliable_ = true;
      }
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      if (last_revents_ & POLLIN) read_poll_unreliable_ = true;
      break;
    }
    request.error = FailIo(errno);
    return true;
  }
  if (got_bytes) {
    read_poll_unreliable_ = false;
    NoteConsumed();
  }
  if (request.done == request.length || request.return_at_once) return true;
  if (hung_up_) {
    if (request.done == 0) request.error = ERROR_DEVICE_NOT_CONNECTED;
    return true;
  }
  if (request.return_on_byte && request.done > 0) return true;
  if (request.total_deadline != 0 && now >= request.total_deadline) return true;
  return request.interval != 0 && request.done > 0 && now >= request.last_byte + request.interval;
}

bool FileObject::AdvanceWrite(IoRequest &request, uint64_t now) {
  while (!hung_up_ && request.done < request.length) {
    ssize_t n = ::write(fd_, request.write_data.data() + request.done, request.length - request.done);
    if (n > 0) {
      request.done += static_cast<DWORD>(n);
      tx_armed_ = true;
      write_poll_unreliable_ = false;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno == EAGAIN) {
      // lp has no poll method: poll always says writable, and a write that
      // the printer cannot take fails with EAGAIN; such a device is retried
      // every kPeriodicCheckMs instead of waiting in poll.
      if (last_revents_ & POLLOUT) write_poll_unreliable_ = true;
      break;
    }
    request.error = FailIo(errno);
    return true;
  }
  if (request.done == request.length) return true;
  if (hung_up_) {
    request.error = ERROR_DEVICE_NOT_CONNECTED;
    return true;
  }
  // A write that runs out of time ends with the count it reached.
  return request.total_deadline != 0 && now >= request.total_deadline;
}

bool FileObject::AdvanceDrain(IoRequest &request, uint64_t now) {
  if (hung_up_) {
    request.error = ERROR_DEVICE_NOT_CONNECTED;
    return true;
  }
  if (!is_tty()) return true;  // other devices hand written bytes on at once
  int queued = 0;
  if (ioctl(fd_, TIOCOUTQ, &queued) != 0) {
    request.error = FailIo(errno);
    return true;
  }
  if (queued == 0) {
    // The driver's queue is empty; tcdrain waits out the last characters
    // in the transmitter, a matter of a few character times.
    ioctl(fd_, TCSBRK, 1);
    return true;
  }
  if (request.total_deadline != 0 && now >= request.total_deadline) {
    request.error = ERROR_TIMEOUT;
    return true;
  }
  return false;
}

bool FileObject::Advance(IoRequest &request, uint64_t now) {
  if (!request.started) StartTimers(request, now);
  switch (request.kind) {
    case IoRequest::Kind::kRead: return AdvanceRead(request, now);
    case IoRequest::Kind::kWrite: return AdvanceWrite(request, now);
    case IoRequest::Kind::kDrain: return AdvanceDrain(request, now);
    case IoRequest::Kind::kWaitEvent: return AdvanceWait(request);
  }
  return false;
}

// Carries the head of a queue on, and the requests behind it as each one
// finishes; the time-outs of a request start when it reaches the head.
void FileObject::ServiceQueue(std::deque<RequestPtr> &queue, uint64_t now) {
  while (!queue.empty()) {
    RequestPtr head = queue.front();
    if (!Advance(*head, now)) return;
    queue.pop_front();
    Finish(head, head->error);
  }
}

void FileObject::Service(uint64_t now) {
  if (closing_) return;
  if (last_revents_ & (POLLHUP | POLLERR)) {
    if (type_ == Type::kTty || (last_revents_ & POLLHUP)) hung_up_ = true;
  }
  if (wait_ || !reads_.empty()) NoteArrivals();
  ServiceQueue(reads_, now);
  ServiceQueue(writes_, now);
  if (wait_) {
    UpdateHistory();
    if (Advance(*wait_, now)) {
      RequestPtr done = std::exchange(wait_, nullptr);
      Finish(done, done->error);
    }
  }
}

bool FileObject::StartIoThread() {
  if (io_thread_.joinable()) return true;
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  try {
    io_thread_ = std::thread(&FileObject::IoThreadMain, this);
  } catch (const std::system_error &) {
    close(wake_fd_);
    wake_fd_ = -1;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  return true;
}

void FileObject::WakeIoThread() {
  if (wake_fd_ < 0) return;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void FileObject::IoThreadMain() {
  Lock lock(mutex_);
  while (!closing_) {
    uint64_t now = MonotonicMillis();
    Service(now);
    last_revents_ = 0;

    short events = 0;
    int64_t timeout = -1;
    auto wake_at = [&](uint64_t deadline) {
      if (deadline == 0) return;
      int64_t left = deadline > now ? static_cast<int64_t>(deadline - now) : 0;
      timeout = timeout < 0 ? left : std::min(timeout, left);
    };
    if (!reads_.empty()) {
      const IoRequest &head = *reads_.front();
      if (read_poll_unreliable_) {
        wake_at(now + kPeriodicCheckMs);
      } else {
        events |= POLLIN;
      }
      wake_at(head.total_deadline);
      if (head.interval != 0 && head.done > 0) wake_at(head.last_byte + head.interval);
    }
    if (!writes_.empty()) {
      const IoRequest &head = *writes_.front();
      if (head.kind == IoRequest::Kind::kDrain || write_poll_unreliable_) {
        wake_at(now + kPeriodicCheckMs);
      } else {
        events |= POLLOUT;
      }
      wake_at(head.total_deadline);
    }
    if (wait_) {
      if (WantsArrivalPoll()) events |= POLLIN;
      if (NeedsPeriodicChecks()) wake_at(now + kPeriodicCheckMs);
    }
    // A hung-up descriptor would report POLLHUP for ever; leave it out then.
    pollfd fds[2] = {{events != 0 && !hung_up_ ? fd_ : -1, events, 0}, {wake_fd_, POLLIN, 0}};

    lock.unlock();
    int ready = poll(fds, 2, static_cast<int>(std::min<int64_t>(timeout, 60000)));
    if (ready > 0 && (fds[1].revents & POLLIN)) {
      uint64_t count;
      [[maybe_unused]] ssize_t n = ::read(wake_fd_, &count, sizeof count);
    }
    lock.lock();
    if (ready > 0) last_revents_ = fds[0].revents;
  }
}

BOOL FileObject::Submit(const RequestPtr &request, LPDWORD transferred, Lock &lock) {
  if (!StartIoThread()) return FALSE;
  if (LPOVERLAPPED record = request->overlapped) {
    record->Internal = STATUS_PENDING;
    record->InternalHigh = 0;
  }
  if (request->event) request->event->Reset();

  uint64_t now = MonotonicMillis();
  if (request->kind == IoRequest::Kind::kWaitEvent) {
    wait_ = request;
    UpdateHistory();
    if (Advance(*request, now)) Finish(std::exchange(wait_, nullptr), request->error);
  } else {
    auto &queue = request->kind == IoRequest::Kind::kRead ? reads_ : writes_;
    if (request->kind == IoRequest::Kind::kRead) NoteArrivals();  // before the read takes them
    queue.push_back(request);
    ServiceQueue(queue, now);
  }
  if (!request->finished) {
    WakeIoThread();
    if (overlapped_ && request->overlapped != nullptr) {
      if (transferred) *transferred = 0;
      SetLastError(ERROR_IO_PENDING);
      return FALSE;
    }
    completed_.wait(lock, [&] { return request->finished; });
  }
  return Outcome(*request, transferred);
}

// Plain files complete every request at once; an overlapped record gives
// the file offset, as on Windows.
BOOL FileObject::RegularFileIo(const RequestPtr &request, LPDWORD transferred, Lock &) {
  IoRequest &r = *request;
  LPOVERLAPPED record = r.overlapped;
  off_t offset = record ? static_cast<off_t>((uint64_t{record->OffsetHigh} << 32) | record->Offset) : 0;
  while (r.done < r.length) {
    ssize_t n;
    if (r.kind == IoRequest::Kind::kRead) {
      n = record ? pread(fd_, r.read_buffer + r.done, r.length - r.done, offset + r.done)
                 : ::read(fd_, r.read_buffer + r.done, r.length - r.done);
    } else {
      const BYTE *data = r.write_data.data() + r.done;
      n = record ? pwrite(fd_, data, r.length - r.done, offset + r.done)
                 : ::write(fd_, data, r.length - r.done);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) r.error = Win32ErrorFromErrno(errno);
    if (n <= 0) break;  // end of file
    r.done += static_cast<DWORD>(n);
  }
  if (r.event) r.event->Reset();
  Finish(request, r.error);
  return Outcome(r, transferred);
}

BOOL FileObject::StartTransfer(IoRequest::Kind kind, const void *buffer, DWORD length,
                               LPDWORD transferred, LPOVERLAPPED overlapped) {
  if (transferred) *transferred = 0;
  if (!(kind == IoRequest::Kind::kRead ? readable_ : writable_)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if ((overlapped_ && overlapped == nullptr) || (buffer == nullptr && length != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool valid;
  RequestPtr request = NewRequest(kind, overlapped, &valid);
  if (!valid) return FALSE;
  request->length = length;
  if (kind == IoRequest::Kind::kRead) {
    request->read_buffer = static_cast<BYTE *>(const_cast<void *>(buffer));
  } else {
    // The bytes are taken at the call, so the caller may reuse its buffer
    // while the write is still pending.
    const BYTE *bytes = static_cast<const BYTE *>(buffer);
    request->write_data.assign(bytes, bytes + length);
  }

  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  if (type_ == Type::kRegular) return RegularFileIo(request, transferred, lock);
  if (hung_up_) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  return Submit(request, transferred, lock);
}

BOOL FileObject::Read(LPVOID buffer, DWORD length, LPDWORD transferred, LPOVERLAPPED overlapped) {
  return StartTransfer(IoRequest::Kind::kRead, buffer, length, transferred, overlapped);
}

BOOL FileObject::Write(LPCVOID buffer, DWORD length, LPDWORD transferred, LPOVERLAPPED overlapped) {
  return StartTransfer(IoRequest::Kind::kWrite, buffer, length, transferred, overlapped);
}

BOOL FileObject::OverlappedResult(LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
  Lock lock(mutex_);
  if (RequestPtr pending = FindPending(overlapped)) {
    if (!wait) {
      if (transferred) *transferred = pending->done;
      SetLastError(ERROR_IO_INCOMPLETE);
      return FALSE;
    }
    completed_.wait(lock, [&] { return pending->finished; });
  }
  // The record is final: Finish wrote it under this lock.
  auto error = static_cast<DWORD>(overlapped->Internal);
  if (transferred) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
  if (error == STATUS_PENDING) error = ERROR_IO_INCOMPLETE;  // not an operation of this handle
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL FileObject::Flush() {
  if (!writable_) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool valid;
  RequestPtr request = NewRequest(IoRequest::Kind::kDrain, nullptr, &valid);
  Lock lock(mutex_);
  if (!Ready(false)) return FALSE;
  if (type_ == Type::kRegular) {
    if (fsync(fd_) != 0) {
      SetLastErrorFromErrno(errno);
      return FALSE;
    }
    return TRUE;
  }
  if (hung_up_) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  // Queued behind the pending writes: it ends when they have ended and the
  // driver has sent their bytes.
  return Submit(request, nullptr, lock);
}

}  // namespace velloran::platform

using namespace velloran::platform;

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  return WithFile(hFile, hFile, [&](FileObject &file) {
    return file.Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
  });
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  return WithFile(hFile, hFile, [&](FileObject &file) {
    return file.Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
  });
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                         BOOL bWait) {
  return WithFile(hFile, lpOverlapped, [&](FileObject &file) {
    return file.OverlappedResult(lpOverlapped, lpNumberOfBytesTransferred, bWait);
  });
}

BOOL FlushFileBuffers(HANDLE hFile) {
  return WithFile(hFile, hFile, [](FileObject &file) { return file.Flush(); });
}
