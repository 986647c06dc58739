// CComPort reads: the owner's Read, the read algorithms on the port, and the
// workers' ReadToBuffer.
//
// How the owner and the worker threads share the input. The owner (the
// serial upgrade procedure) reads its replies with Read. With EN_RX_BUFFER
// the read thread, or the watch thread when there is none, also moves
// arriving bytes into RxBuffer_. Both would use the one read record RO_, and
// every byte a worker takes would be missing from the owner's reply. Two
// rules settle it:
//  1. csReceive_ guards RO_ and RxBuffer_. The owner's Read holds it for its
//     whole run. A worker only tries it and, while the owner reads, leaves
//     the input alone instead of waiting: the owner's read takes those bytes.
//     So at most one read is ever outstanding on RO_.
//  2. Bytes that a worker moved while the owner was between reads (in the
//     pause and the flush after a data frame, say) are not lost: the owner's
//     Read first hands out what RxBuffer_ holds and reads from the port only
//     what is still missing. Workers fill RxBuffer_ only under csReceive_, so
//     the owner receives the bytes in the order in which they arrived.
//     RxBuffer_ thus extends the driver's input queue, and Close empties it
//     when it purges that queue.
// dwInCount_ counts the bytes that Read hands to the owner, wherever they
// were waiting.
#include "com_port.h"
#include "critical_section_guard.h"

#include <algorithm>

namespace {

// How long to wait for an aborted read to hand its record back.
constexpr DWORD kAbortSettleMs = 1000;
// A timed read stops instead of waiting for less than this.
constexpr DWORD kShortestByteWaitMs = 6;

}  // namespace

DWORD CComPort::Read(LPVOID pBuffer, DWORD dwLength, DWORD dwWaitTime) {
  if (dwLength == 0) return 0;
  if (!COM_ASSERT(IsOpen())) return 0;
  LPBYTE target = static_cast<LPBYTE>(pBuffer);
  DWORD n;
  {
    CriticalSectionGuard guard(csReceive_);
    n = RxBuffer_.Consume(target, dwLength);
    if (n < dwLength) n += ReadPort(target + n, dwLength - n, dwWaitTime);
  }
  dwInCount_ += n;
  return n;
}

DWORD CComPort::ReadToBuffer(DWORD dwCount) {
  if (dwCount == 0) return 0;
  if (!TryEnterCriticalSection(&csReceive_)) return 0;  // the owner is reading them
  DWORD got = 0;
  if (LPBYTE p = RxBuffer_.GetWritePtr(dwCount)) got = RxBuffer_.Commit(ReadPort(p, dwCount, INFINITE));
  LeaveCriticalSection(&csReceive_);
  return got;
}

DWORD CComPort::ReadPort(LPBYTE pBuffer, DWORD dwLength, DWORD dwWaitTime) {
  // A pending reception error would fail the read: abort any read in
  // progress; the queued bytes stay.
  DWORD dwErrors = 0;
  COMSTAT stat{};
  bool bQueueKnown = ::ClearCommError(hComm_, &dwErrors, &stat) != FALSE;
  if (bQueueKnown && dwErrors != 0) ::PurgeComm(hComm_, PURGE_RXABORT);

  if (!IsOverlapped()) {
    DWORD dwReadResult = 0;
    COM_ASSERT(::ReadFile(hComm_, pBuffer, dwLength, &dwReadResult, NULL));
    return std::min(dwReadResult, dwLength);
  }
  if (dwWaitTime == INFINITE) return ReadPortWaiting(pBuffer, dwLength);
  return ReadPortTimed(pBuffer, dwLength, dwWaitTime, bQueueKnown ? stat.cbInQue : 0);
}

DWORD CComPort::ReadPortWaiting(LPBYTE pBuffer, DWORD dwLength) {
  DWORD dwReadResult = 0;
  if (::ReadFile(hComm_, pBuffer, dwLength, &dwReadResult, &RO_)) return std::min(dwReadResult, dwLength);
  if (!COM_ASSERT(::GetLastError() == ERROR_IO_PENDING)) return 0;
  if (!COM_ASSERT(::GetOverlappedResult(hComm_, &RO_, &dwReadResult, TRUE))) {
    // The wait itself failed (the device went away, or the read was
    // aborted): end with what came instead of waiting again, and make sure
    // the read no longer writes into the caller's buffer.
    SettleAbortedRead();
  }
  return std::min(dwReadResult, dwLength);
}

DWORD CComPort::ReadPortTimed(LPBYTE pBuffer, DWORD dwLength, DWORD dwWaitTime, DWORD dwQueued) {
  const DWORD dwStart = ::GetTickCount();
  DWORD dwRemaining = dwWaitTime;
  DWORD dwTotal = 0;

  // First the bytes that the driver already holds.
  DWORD uReadLength = std::min(dwLength, dwQueued);
  DWORD uReadReturn = 0;
  if (uReadLength > 0) {
    if (!COM_ASSERT(::ReadFile(hComm_, pBuffer, uReadLength, &uReadReturn, &RO_))) {
      // Held bytes complete at once; a read that still went pending is
      // finished here so that the record is free for the next one.
      if (::GetLastError() != ERROR_IO_PENDING ||
          !::GetOverlappedResult(hComm_, &RO_, &uReadReturn, TRUE)) {
        uReadReturn = 0;
      }
    }
    dwTotal = std::min(uReadReturn, uReadLength);
  }

  // Then one byte at a time while the wait lasts.
  while (dwTotal < dwLength) {
    uReadReturn = 0;
    if (!::ReadFile(hComm_, pBuffer + dwTotal, 1, &uReadReturn, &RO_)) {
      if (::GetLastError() != ERROR_IO_PENDING) break;
      if (dwRemaining < kShortestByteWaitMs || ::WaitForSingleObject(RO_.hEvent, dwRemaining) != WAIT_OBJECT_0) {
        COM_ASSERT(::PurgeComm(hComm_, PURGE_RXABORT));
        // A byte that came between the end of the wait and the abort is kept.
        dwTotal += std::min<DWORD>(SettleAbortedRead(), 1);
        break;
      }
      if (!COM_ASSERT(::GetOverlappedResult(hComm_, &RO_, &uReadReturn, FALSE))) break;
    }
    if (uReadReturn == 0) break;
    dwTotal += 1;
    DWORD dwElapsed = ::GetTickCount() - dwStart;  // modular: survives the wrap
    dwRemaining = dwElapsed < dwWaitTime ? dwWaitTime - dwElapsed : 0;
  }
  return dwTotal;
}

DWORD CComPort::SettleAbortedRead() {
  ::PurgeComm(hComm_, PURGE_RXABORT);
  ::WaitForSingleObject(RO_.hEvent, kAbortSettleMs);
  DWORD n = 0;
  return ::GetOverlappedResult(hComm_, &RO_, &n, FALSE) ? n : 0;
}
