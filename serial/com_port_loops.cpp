// CComPort worker loops: the watch thread (overlapped and polling), the read
// thread and the write thread.
#include "com_port.h"

namespace {

constexpr DWORD kNoCount = 0xFFFFFFFFu;  // GetQueueCount failed
constexpr DWORD kInputPollMs = 10;       // watch thread while bytes wait
constexpr DWORD kRetryMs = 10;           // after a failed WaitCommEvent
constexpr DWORD kReadPollMs = 50;        // read thread; polling watch thread
constexpr DWORD kWritePollMs = 200;      // write thread
constexpr DWORD kEventWaitSliceMs = 100; // see WaitForCommEvent
constexpr DWORD kSendChunk = 1024;

bool HasBytes(DWORD count) { return count != kNoCount && count > 0; }

}  // namespace

bool CComPort::WatchThreadHasTxWork() {
  DWORD options = dwOption_;
  return (options & EN_TX_BUFFER) != 0 && (options & EN_TX_THREAD) == 0 && TxBuffer_.SafeSize() != 0;
}

void CComPort::ReceiveStep(DWORD n, DWORD dwCount) {
  if ((dwOption_ & EN_RX_BUFFER) != 0) {
    ReadToBuffer(dwCount);
    if (RxBuffer_.Size() >= dwNotifyNum_) OnReceive();
  } else if (n >= dwNotifyNum_) {
    OnReceive();
  }
}

DWORD CComPort::WatchLoopOverlapped() {
  if (!COM_ASSERT(IsOpen())) return 1;
  if (!COM_ASSERT(::SetCommMask(hComm_, dwWaitEvent_))) return 1;
  while (bRunning_ && IsOpen()) {
    DWORD dwMask = 0;
    bool bInputWaiting = HasBytes(GetQueueCount(TRUE));
    if (bInputWaiting) {
      dwMask = EV_RXCHAR;
      ::Sleep(kInputPollMs);
    } else if (WatchThreadHasTxWork()) {
      // Queued bytes whose wake-up came while this thread was not waiting:
      // send them now instead of waiting for the next line event.
    } else if (!::WaitCommEvent(hComm_, &dwMask, &EO_)) {
      if (::GetLastError() != ERROR_IO_PENDING) {
        ::Sleep(kRetryMs);
        continue;
      }
      WaitForCommEvent(&dwMask);
    }
    if (dwMask != 0) HandleEvent(dwMask);
    // Also while input waits unread, so that queued output is not held up.
    if ((dwMask == 0 || bInputWaiting) && WatchThreadHasTxWork()) WriteFromBuffer(kSendChunk);
  }
  return 0;
}

void CComPort::WaitForCommEvent(DWORD *pMask) {
  // The wait is watched in slices: a stop request, or queued output whose
  // wake-up (SetCommMask) came just before the wait began, would otherwise
  // wait for the next line event, which may never come.
  while (::WaitForSingleObject(EO_.hEvent, kEventWaitSliceMs) == WAIT_TIMEOUT) {
    if (!bRunning_) {
      ::SetCommMask(hComm_, 0);
    } else if (WatchThreadHasTxWork()) {
      ::SetCommMask(hComm_, dwWaitEvent_);
    }
  }
  DWORD n = 0;
  if (!::GetOverlappedResult(hComm_, &EO_, &n, TRUE)) *pMask = 0;
}

DWORD CComPort::WatchLoopPolling() {
  if (!COM_ASSERT(IsOpen())) return 1;
  while (bRunning_ && IsOpen()) {
    DWORD r = ::WaitForSingleObject(hWatchEvent_, kReadPollMs);
    if (!bRunning_) break;
    if (r == WAIT_OBJECT_0) {
      // A buffered write signalled.
      while (bRunning_ && (dwOption_ & EN_TX_BUFFER) != 0 && TxBuffer_.SafeSize() != 0) {
        WriteFromBuffer(kSendChunk);
      }
      ::ResetEvent(hWatchEvent_);
    } else if (r == WAIT_TIMEOUT) {
      DWORD n = GetQueueCount(TRUE);
      if (HasBytes(n)) ReceiveStep(n, n);
      if ((dwOption_ & EN_TX_BUFFER) != 0 && TxBuffer_.SafeSize() != 0) WriteFromBuffer(kSendChunk);
    } else {
      ::Sleep(kReadPollMs);  // no event to wait on: keep the pace
    }
  }
  return 0;
}

DWORD CComPort::ReadLoop() {
  while (bRunning_) {
    // The pause between polls; EndThread's SetEvent cuts it short.
    if (::WaitForSingleObject(hReadEvent_, kReadPollMs) != WAIT_TIMEOUT) {
      if (!bRunning_) break;
      ::Sleep(kReadPollMs);
    }
    DWORD n = GetQueueCount(TRUE);
    if (HasBytes(n)) ReceiveStep(n, n);
  }
  return 0;
}

DWORD CComPort::WriteLoop() {
  COM_ASSERT(dwOption_ & EN_TX_BUFFER);
  while (bRunning_) {
    DWORD r = ::WaitForSingleObject(hWriteEvent_, kWritePollMs);
    while (bRunning_ && TxBuffer_.SafeSize() != 0) WriteFromBuffer(kSendChunk);
    if (r == WAIT_OBJECT_0) {
      ::ResetEvent(hWriteEvent_);
    } else if (r != WAIT_TIMEOUT) {
      ::Sleep(kWritePollMs);  // no event to wait on: keep the pace
    }
  }
  return 0;
}
