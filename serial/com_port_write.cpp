// CComPort writes: Write (direct or queued), WritePort, and the workers'
// WriteFromBuffer.
#include "com_port.h"
#include "critical_section_guard.h"

#include <algorithm>

namespace {

// Bytes sent from the transmit buffer per call.
constexpr DWORD kSendChunk = 1024;
// Refused writes in a row after which a non-overlapped send drops the rest.
constexpr int kMaxRefusedWrites = 3;

}  // namespace

DWORD CComPort::Write(LPCVOID pBuffer, DWORD dwLength) {
  if ((dwOption_ & EN_TX_BUFFER) == 0 || dwLength == 0) return WritePort(pBuffer, dwLength);
  {
    BlockBuffer::Guard guard(TxBuffer_);
    TxBuffer_.Append(pBuffer, dwLength);
  }
  // Wake the sender: the write thread, or the watch thread, whose pending
  // WaitCommEvent a SetCommMask completes.
  DWORD options = dwOption_;
  if ((options & EN_TX_THREAD) != 0) {
    ::SetEvent(hWriteEvent_);
  } else if ((options & EN_OVERLAPPED) != 0) {
    if (IsOpen()) ::SetCommMask(hComm_, dwWaitEvent_);
  } else {
    ::SetEvent(hWatchEvent_);
  }
  return 0;
}

DWORD CComPort::WritePort(LPCVOID pBuffer, DWORD dwLength) {
  if (dwLength == 0) return 0;
  if (!COM_ASSERT(IsOpen())) return 0;
  DWORD dwErrors = 0;
  COMSTAT stat{};
  if (::ClearCommError(hComm_, &dwErrors, &stat) && dwErrors != 0) ::PurgeComm(hComm_, PURGE_TXABORT);

  CriticalSectionGuard guard(csTransmit_);
  DWORD n = 0;
  if (!IsOverlapped()) {
    ::WriteFile(hComm_, pBuffer, dwLength, &n, NULL);
    n = std::min(n, dwLength);
    dwOutCount_ += n;
    return n;
  }
  // One record carries one operation: a write still in flight on WO_ (the
  // owner's or a worker's) ends before the next one starts.
  FinishPendingWrite();
  if (!::WriteFile(hComm_, pBuffer, dwLength, &n, &WO_)) {
    if (!COM_ASSERT(::GetLastError() == ERROR_IO_PENDING)) return 0;
    bWritePending_ = true;
    n = 0;
  }
  dwOutCount_ += dwLength;
  return n;
}

void CComPort::FinishPendingWrite() {
  if (!bWritePending_) return;
  DWORD n = 0;
  ::GetOverlappedResult(hComm_, &WO_, &n, TRUE);  // bounded by the write time-outs
  bWritePending_ = false;
}

DWORD CComPort::WriteFromBuffer(DWORD dwMax) {
  if (IsOverlapped()) {
    BlockBuffer::Guard guard(TxBuffer_);
    if (TxBuffer_.Size() == 0) return 0;
    DWORD k = std::min(TxBuffer_.FirstBlockLength(), dwMax);
    WritePort(TxBuffer_.FirstBlockData(), k);
    {
      // The write may still be taking its bytes from the block: let it end
      // before the block is given back.
      CriticalSectionGuard transmit(csTransmit_);
      FinishPendingWrite();
    }
    // Dropped whether or not the port took them: a refused write shows as a
    // missing reply, not as bytes sent twice.
    return TxBuffer_.Consume(NULL, k);
  }

  BYTE chunk[kSendChunk];
  DWORD taken;
  {
    BlockBuffer::Guard guard(TxBuffer_);
    taken = TxBuffer_.Consume(chunk, std::min(dwMax, kSendChunk));
  }
  // A port that keeps refusing bytes does not hold the sender forever: after
  // a few refusals in a row the rest of the chunk is dropped.
  DWORD sent = 0;
  int refused = 0;
  while (sent < taken && refused < kMaxRefusedWrites) {
    DWORD n = WritePort(chunk + sent, taken - sent);
    if (n == 0) {
      ++refused;
    } else {
      refused = 0;
      sent += n;
    }
  }
  return taken;
}
