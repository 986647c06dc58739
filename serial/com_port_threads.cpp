// CComPort worker threads: starting and stopping them, and their entry
// points.
#include "com_port.h"

#include <initializer_list>

namespace {

// The drain wait of EndThread gives up once the transmit buffer has not
// shrunk for this long: the line no longer takes bytes.
constexpr DWORD kDrainStallMs = 1000;
constexpr DWORD kDrainPollMs = 50;

}  // namespace

bool CComPort::BeginThread(DWORD dwExtraOptions) {
  // A thread that a failed EndThread left behind and that has ended since
  // no longer stands in the way.
  ReapThreads(0);
  if (!COM_ASSERT(!hWatchThread_ && !hReadThread_ && !hWriteThread_)) return false;
  bRunning_ = true;
  unsigned flags = (dwOption_ & EN_SUSPENDED) != 0 ? CREATE_SUSPENDED : 0;
  if (dwExtraOptions != 0) dwOption_ |= dwExtraOptions;
  const DWORD options = dwOption_;
  // The events are manual-reset and still set by the last EndThread.
  ::ResetEvent(hWatchEvent_);
  ::ResetEvent(hReadEvent_);
  ::ResetEvent(hWriteEvent_);

  unsigned watchId = 0, readId = 0, writeId = 0;
  if (options & EN_WATCH_THREAD) {
    hWatchThread_ = reinterpret_cast<HANDLE>(::_beginthreadex(NULL, 0, WatchThreadEntry, this, flags, &watchId));
  }
  if (options & EN_RX_THREAD) {
    hReadThread_ = reinterpret_cast<HANDLE>(::_beginthreadex(NULL, 0, ReadThreadEntry, this, flags, &readId));
  }
  if (options & EN_TX_THREAD) {
    hWriteThread_ = reinterpret_cast<HANDLE>(::_beginthreadex(NULL, 0, WriteThreadEntry, this, flags, &writeId));
  }

  // Each thread asked for is checked where it stands in this order.
  const bool aboveNormal = (options & EN_ABOVE_NORMAL) != 0;
  if ((options & EN_WATCH_THREAD) &&
      !AdoptThread(COM_ASSERT(hWatchThread_ != NULL), hWatchThread_, dwWatchThreadId_, watchId, aboveNormal)) {
    return false;
  }
  if ((options & EN_RX_THREAD) &&
      !AdoptThread(COM_ASSERT(hReadThread_ != NULL), hReadThread_, dwReadThreadId_, readId, aboveNormal)) {
    return false;
  }
  if ((options & EN_TX_THREAD) &&
      !AdoptThread(COM_ASSERT(hWriteThread_ != NULL), hWriteThread_, dwWriteThreadId_, writeId, aboveNormal)) {
    return false;
  }
  return true;
}

bool CComPort::AdoptThread(bool bCreated, HANDLE hThread, DWORD &dwThreadId, unsigned id, bool bAboveNormal) {
  dwThreadId = id;
  if (!bCreated) {
    EndThread(500);  // stops the threads already started
    return false;
  }
  if (bAboveNormal) ::SetThreadPriority(hThread, THREAD_PRIORITY_ABOVE_NORMAL);
  return true;
}

bool CComPort::EndThread(DWORD dwWaitTime) {
  if (!hWatchThread_ && !hReadThread_ && !hWriteThread_) return false;
  if ((dwOption_ & (EN_DRAIN_TX | EN_TX_BUFFER)) == (EN_DRAIN_TX | EN_TX_BUFFER)) WaitForTxDrain();

  bRunning_ = false;
  if (IsOpen()) {
    // Completes the watch thread's pending WaitCommEvent.
    if (IsOverlapped()) ::SetCommMask(hComm_, 0);
    // A worker's read in progress would hold its thread until the read
    // time-out; the owner is here and not reading, so abort it. Queued
    // bytes stay.
    ::PurgeComm(hComm_, PURGE_RXABORT);
  }
  return StopThread(hWatchThread_, hWatchEvent_, dwWaitTime) &&
         StopThread(hReadThread_, hReadEvent_, dwWaitTime) &&
         StopThread(hWriteThread_, hWriteEvent_, dwWaitTime);
}

bool CComPort::StopThread(HANDLE &hThread, HANDLE hEvent, DWORD dwWaitTime) {
  if (hThread == NULL) return true;
  ::SetEvent(hEvent);
  // A thread created suspended and never resumed can end only once it runs.
  ::ResumeThread(hThread);
  if (::WaitForSingleObject(hThread, dwWaitTime) != WAIT_OBJECT_0 && !::TerminateThread(hThread, 0)) {
    return false;  // the handle stays set; BeginThread refuses until it is cleared
  }
  ::CloseHandle(hThread);
  hThread = NULL;
  return true;
}

void CComPort::ReapThreads(DWORD dwWaitTime) {
  for (HANDLE *hThread : {&hWatchThread_, &hReadThread_, &hWriteThread_}) {
    if (*hThread != NULL && ::WaitForSingleObject(*hThread, dwWaitTime) == WAIT_OBJECT_0) {
      ::CloseHandle(*hThread);
      *hThread = NULL;
    }
  }
}

void CComPort::WaitForTxDrain() {
  DWORD lastSize = TxBuffer_.Size();
  DWORD lastProgress = ::GetTickCount();
  while (DWORD size = TxBuffer_.Size()) {
    if (size < lastSize) {
      lastSize = size;
      lastProgress = ::GetTickCount();
    } else if (::GetTickCount() - lastProgress >= kDrainStallMs) {
      break;
    }
    ::Sleep(kDrainPollMs);
  }
}

unsigned __stdcall CComPort::WatchThreadEntry(void *pParam) {
  CComPort *port = static_cast<CComPort *>(pParam);
  unsigned result = port->IsOverlapped() ? port->WatchLoopOverlapped() : port->WatchLoopPolling();
  ::_endthreadex(result);
  return result;  // not reached
}

unsigned __stdcall CComPort::ReadThreadEntry(void *pParam) {
  unsigned result = static_cast<CComPort *>(pParam)->ReadLoop();
  ::_endthreadex(result);
  return result;  // not reached
}

unsigned __stdcall CComPort::WriteThreadEntry(void *pParam) {
  unsigned result = static_cast<CComPort *>(pParam)->WriteLoop();
  ::_endthreadex(result);
  return result;  // not reached
}
