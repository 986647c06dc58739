// CComPort: construction, options, opening, configuring, closing and the
// port's counters and status queries.
#include "com_port.h"
#include "critical_section_guard.h"

#include <cstring>

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

CComPort::CComPort(DWORD dwOption) {
  InitializeCriticalSection(&csReceive_);
  InitializeCriticalSection(&csTransmit_);
  InitHandles();
  SetOption(dwOption);
}

CComPort::~CComPort() {
  Close(500);
  // A thread that did not end in time (it cannot be terminated on every
  // system) still uses this object: it must not go away before them.
  ReapThreads(INFINITE);
  ReleaseHandles();
  DeleteCriticalSection(&csTransmit_);
  DeleteCriticalSection(&csReceive_);
}

bool CComPort::InitHandles() {
  std::memset(szName_, 0, sizeof(szName_));
  std::memset(&DCB_, 0, sizeof(DCB_));
  DCB_.DCBlength = sizeof(DCB);
  std::memset(&CO_, 0, sizeof(CO_));
  hComm_ = INVALID_HANDLE_VALUE;
  dwPort_ = static_cast<DWORD>(-1);
  dwInCount_ = 0;
  dwOutCount_ = 0;
  bRunning_ = false;
  dwWaitEvent_ = kDefaultWaitEvent;
  hWatchThread_ = hReadThread_ = hWriteThread_ = nullptr;
  dwWatchThreadId_ = dwReadThreadId_ = dwWriteThreadId_ = 0;
  hNotifyWnd_ = nullptr;
  dwNotifyThreadId_ = 0;
  dwNotifyNum_ = 0;
  std::memset(&RO_, 0, sizeof(RO_));
  std::memset(&WO_, 0, sizeof(WO_));
  std::memset(&EO_, 0, sizeof(EO_));
  bWritePending_ = false;

  RO_.hEvent = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  bool ok = COM_ASSERT(RO_.hEvent != NULL);
  WO_.hEvent = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  ok = COM_ASSERT(WO_.hEvent != NULL) && ok;
  EO_.hEvent = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  ok = COM_ASSERT(EO_.hEvent != NULL) && ok;
  hWatchEvent_ = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  ok = COM_ASSERT(hWatchEvent_ != NULL) && ok;
  hReadEvent_ = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  ok = COM_ASSERT(hReadEvent_ != NULL) && ok;
  hWriteEvent_ = ::CreateEvent(NULL, TRUE, FALSE, NULL);
  ok = COM_ASSERT(hWriteEvent_ != NULL) && ok;
  return ok;
}

void CComPort::ReleaseHandles() {
  HANDLE *events[] = {&RO_.hEvent, &WO_.hEvent, &EO_.hEvent, &hWatchEvent_, &hReadEvent_, &hWriteEvent_};
  for (HANDLE *event : events) {
    if (*event != NULL) {
      ::CloseHandle(*event);
      *event = NULL;
    }
  }
}

void CComPort::SetOption(DWORD dwOption) {
  COM_ASSERT(!IsOpen());
  dwOption_ = dwOption;
}

void CComPort::SetPortName(DWORD dwPort) {
  dwPort_ = dwPort;
  ::wsprintfA(szName_, "\\\\.\\COM%d", static_cast<int>(dwPort));
}

bool CComPort::Open(DWORD dwPort) {
  if (!COM_ASSERT(dwPort>=1 && dwPort<=1024)) return false;
  SetPortName(dwPort);
  if (!COM_ASSERT(OpenPort())) return false;
  if (!COM_ASSERT(SetupPort())) {
    Close(500);
    return false;
  }
  if ((dwOption_ & EN_ANY_THREAD) != 0 && !COM_ASSERT(BeginThread())) {
    Close(500);
    return false;
  }
  return true;
}

bool CComPort::OpenPort() {
  if (!COM_ASSERT(!IsOpen())) Close(500);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL | (IsOverlapped() ? FILE_FLAG_OVERLAPPED : 0);
  hComm_ = ::CreateFileA(szName_, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, attributes,
                         NULL);
  return IsOpen();
}

bool CComPort::SetupPort() {
  if (!COM_ASSERT(IsOpen())) return false;
  if (!COM_ASSERT(::SetupComm(hComm_, 4096, 4096))) return false;
  if (!COM_ASSERT(::GetCommTimeouts(hComm_, &CO_))) return false;
  // Overlapped reads end 500 ms after the call, non-overlapped ones after
  // 250 ms; both 100 ms after the last byte that came.
  bool overlapped = IsOverlapped();
  CO_.ReadIntervalTimeout = 100;
  CO_.ReadTotalTimeoutMultiplier = 0;
  CO_.ReadTotalTimeoutConstant = overlapped ? 500 : 250;
  CO_.WriteTotalTimeoutMultiplier = overlapped ? 1 : 0;
  CO_.WriteTotalTimeoutConstant = overlapped ? 10000 : 250;
  if (!COM_ASSERT(::SetCommTimeouts(hComm_, &CO_))) return false;
  return COM_ASSERT(::PurgeComm(hComm_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR ));
}

bool CComPort::SetState(DWORD dwBaudRate, BYTE byParity, BYTE byByteSize, BYTE byStopBits) {
  if (!COM_ASSERT(IsOpen())) return false;
  if (!::GetCommState(hComm_, &DCB_)) return false;
  DCB_.BaudRate = dwBaudRate;
  DCB_.ByteSize = byByteSize;
  DCB_.Parity = byParity;
  DCB_.StopBits = byStopBits;
  DCB_.fParity = byParity != 0;
  return ::SetCommState(hComm_, &DCB_) != FALSE;
}

bool CComPort::Flush() {
  if (!COM_ASSERT(IsOpen())) return false;
  return ::FlushFileBuffers(hComm_) != FALSE;
}

bool CComPort::Close(DWORD dwWaitTime) {
  if (!IsOpen()) return false;
  EndThread(dwWaitTime);
  if ((dwOption_ & (EN_FLUSH | EN_DRAIN_TX)) != 0) ::FlushFileBuffers(hComm_);
  ::PurgeComm(hComm_, kPurgeAll);
  {
    // The purge has aborted a write still in flight; collect it so that WO_
    // is free when the port is opened again.
    CriticalSectionGuard guard(csTransmit_);
    FinishPendingWrite();
  }
  {
    // Bytes that the workers collected for the owner's Read are part of the
    // input that the purge has just dropped: a reopened port must not hand
    // them out as if they had just arrived.
    CriticalSectionGuard guard(csReceive_);
    RxBuffer_.Consume(NULL, RxBuffer_.Size());
  }
  HANDLE handle = hComm_.exchange(INVALID_HANDLE_VALUE);
  return ::CloseHandle(handle) != FALSE;
}

void CComPort::ResetCounters() {
  dwInCount_ = 0;
  dwOutCount_ = 0;
}

DWORD CComPort::GetQueueCount(bool bInput) {
  if (!COM_ASSERT(IsOpen())) return static_cast<DWORD>(-1);
  DWORD errors = 0;
  COMSTAT stat{};
  if (!::ClearCommError(hComm_, &errors, &stat)) return static_cast<DWORD>(-1);
  return bInput ? stat.cbInQue : stat.cbOutQue;
}

DWORD CComPort::GetModemStatus() {
  if (!COM_ASSERT(IsOpen())) return 0;
  DWORD status = 0;
  return ::GetCommModemStatus(hComm_, &status) ? status : 0;
}

DWORD CComPort::GetCommErrors() {
  if (!COM_ASSERT(IsOpen())) return 0;
  DWORD errors = 0;
  COMSTAT stat{};
  return ::ClearCommError(hComm_, &errors, &stat) ? errors : 0;
}
