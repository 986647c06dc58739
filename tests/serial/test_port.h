// A CComPort whose internals the tests may look at.
#pragma once

#include "com_port.h"
#include "pty_pair.h"

#include <string>
#include <vector>

class TestPort : public CComPort {
 public:
  using CComPort::CComPort;
  // Stops the workers before this class's part of the object goes away.
  ~TestPort() override { Close(); }

  HANDLE WatchThread() const { return hWatchThread_; }
  HANDLE ReadThread() const { return hReadThread_; }
  HANDLE WriteThread() const { return hWriteThread_; }
  int ThreadCount() const { return (hWatchThread_ != NULL) + (hReadThread_ != NULL) + (hWriteThread_ != NULL); }
  HANDLE Handle() const { return hComm_; }
  const COMMTIMEOUTS &Timeouts() const { return CO_; }
  const DCB &State() const { return DCB_; }
  BlockBuffer &Rx() { return RxBuffer_; }
  BlockBuffer &Tx() { return TxBuffer_; }
  DWORD WaitEventMask() const { return dwWaitEvent_; }
};

// Collects the texts of failed checks while it lives.
class AssertTexts {
 public:
  AssertTexts();
  ~AssertTexts();
  std::vector<std::string> Take();
};

// A TestPort on a fresh pseudo-terminal whose master side the test holds;
// the slave is mapped as COM7.
struct PortOnPty {
  static constexpr unsigned kPortNumber = 7;
  explicit PortOnPty(DWORD options) : port(options) { pty.MapAs(kPortNumber); }
  bool Open() { return port.Open(kPortNumber); }

  PtyPair pty;
  TestPort port;
};
