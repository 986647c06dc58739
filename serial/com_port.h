// CComPort: one serial port (COM1 … COM1024) with overlapped reads and
// writes, optional worker threads (watch, read, write), comm-event hooks that
// notify a window or thread, and two block buffers for received and queued
// bytes.
//
// Thread rules: Open, Close, SetOption, SetState, Read, WritePort, Flush and
// Write are called by the owner's thread. The worker threads exist between
// Open and Close. The owner's Read and the workers' ReadToBuffer never use
// the read record RO_ at the same time and every received byte reaches the
// owner's Read in order (see Read in com_port_read.cpp). A derived class
// closes the port in its own destructor: the workers call its overrides.
#pragma once

#include "com_assert.h"
#include "win32_comm.h"
#include "win32_window.h"

#include <atomic>

class CComPort {
 public:
  // A byte queue made of a linked list of heap blocks. Appending fills the
  // newest block and adds blocks of at least dwMinBlockSize_ bytes; consuming
  // frees emptied blocks except a small last one, which is kept for reuse so
  // that a steady trickle of small writes allocates once.
  class BlockBuffer {
   public:
    // One heap allocation: this header, followed directly by dwCapacity data
    // bytes. dwBegin <= dwEnd <= dwCapacity.
    struct Block {
      DWORD dwBegin;     // offset of the first unread byte
      DWORD dwEnd;       // offset one past the last written byte
      DWORD dwCapacity;  // data bytes in the block
      Block *pNext;      // next newer block, null for the tail
      LPBYTE Data() { return reinterpret_cast<LPBYTE>(this + 1); }
      const BYTE *Data() const { return reinterpret_cast<const BYTE *>(this + 1); }
    };

    // Holds the buffer's lock for a scope.
    class Guard {
     public:
      explicit Guard(BlockBuffer &buffer) : buffer_(buffer) { buffer_.Lock(); }
      ~Guard() { buffer_.Unlock(); }
      Guard(const Guard &) = delete;
      Guard &operator=(const Guard &) = delete;

     private:
      BlockBuffer &buffer_;
    };

    BlockBuffer();
    virtual ~BlockBuffer();
    BlockBuffer(const BlockBuffer &) = delete;
    BlockBuffer &operator=(const BlockBuffer &) = delete;

    // Copies n bytes to the end; returns n (fewer only when memory runs out).
    DWORD Append(LPCVOID p, DWORD n);
    // Removes up to n bytes from the front, copying them to dst unless it is
    // null; returns how many were removed.
    DWORD Consume(LPVOID dst, DWORD n);
    // Free bytes behind the tail block's data; 0 when empty.
    DWORD FreeSpace() const;
    // Links a new tail block of capacity max(n, dwMinBlockSize_); null when
    // memory runs out.
    Block *AddBlock(DWORD n);
    // Where to put n bytes before Commit: the tail's free area when n is 0 or
    // smaller than FreeSpace() (null for n = 0 on an empty buffer), otherwise
    // the data of a new block.
    LPBYTE GetWritePtr(DWORD n);
    // Adds n bytes written at GetWritePtr to the tail; returns n, or 0 when
    // they do not fit in the tail block.
    DWORD Commit(DWORD n);
    DWORD Size() const { return dwSize_.load(std::memory_order_relaxed); }
    DWORD SafeSize();
    DWORD FirstBlockLength() const;
    LPBYTE FirstBlockData() const;
    void Lock() { EnterCriticalSection(&cs_); }
    void Unlock() { LeaveCriticalSection(&cs_); }

    // The blocks, oldest first, for inspection.
    const Block *Head() const { return pHead_; }
    const Block *Tail() const { return pTail_; }

   private:
    Block *pHead_;
    Block *pTail_;
    // Atomic so that Size() may be read without the lock on any thread.
    std::atomic<DWORD> dwSize_;
    DWORD dwMinBlockSize_;
    CRITICAL_SECTION cs_;
  };

  // Option bits.
  static constexpr DWORD EN_WATCH_THREAD = 0x001;  // Open starts the watch thread
  static constexpr DWORD EN_OVERLAPPED = 0x002;    // overlapped I/O and its time-outs
  static constexpr DWORD EN_RX_BUFFER = 0x004;     // workers collect input in RxBuffer_
  static constexpr DWORD EN_TX_BUFFER = 0x008;     // Write queues in TxBuffer_
  static constexpr DWORD EN_RX_THREAD = 0x010;     // Open starts the read thread
  static constexpr DWORD EN_TX_THREAD = 0x020;     // Open starts the write thread
  static constexpr DWORD EN_SUSPENDED = 0x040;     // workers start suspended
  static constexpr DWORD EN_ABOVE_NORMAL = 0x080;  // workers run above normal priority
  static constexpr DWORD EN_FLUSH = 0x100;         // Close flushes before purging
  static constexpr DWORD EN_DRAIN_TX = 0x200;      // stopping waits for TxBuffer_ to drain
  static constexpr DWORD EN_ANY_THREAD = EN_WATCH_THREAD | EN_RX_THREAD | EN_TX_THREAD;

  // Notification messages (wParam: the port number).
  static constexpr UINT WM_COM_RECEIVE = WM_USER + 618;  // 1642
  static constexpr UINT WM_COM_CTS = WM_USER + 619;      // 1643
  static constexpr UINT WM_COM_DSR = WM_USER + 620;      // 1644
  static constexpr UINT WM_COM_RING = WM_USER + 621;     // 1645
  static constexpr UINT WM_COM_RLSD = WM_USER + 622;     // 1646, the one number left free
  static constexpr UINT WM_COM_BREAK = WM_USER + 623;    // 1647
  static constexpr UINT WM_COM_TXEMPTY = WM_USER + 624;  // 1648
  static constexpr UINT WM_COM_ERROR = WM_USER + 625;    // 1649
  static constexpr UINT WM_COM_RXFLAG = WM_USER + 626;   // 1650
  static constexpr UINT WM_COM_SPARE1 = WM_USER + 627;   // 1651
  static constexpr UINT WM_COM_SPARE2 = WM_USER + 630;   // 1654
  static constexpr UINT WM_COM_SPARE3 = WM_USER + 628;   // 1652
  static constexpr UINT WM_COM_SPARE4 = WM_USER + 629;   // 1653
  static constexpr UINT WM_COM_SPARE5 = WM_USER + 631;   // 1655

  static constexpr DWORD kDefaultWaitEvent = EV_RXCHAR | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD |
                                             EV_BREAK | EV_ERR | EV_RING;  // 0x1FD

  explicit CComPort(DWORD dwOption = EN_WATCH_THREAD | EN_OVERLAPPED);
  virtual ~CComPort();
  CComPort(const CComPort &) = delete;
  CComPort &operator=(const CComPort &) = delete;

  // Stops the worker threads (each may take dwWaitTime ms to end), flushes
  // under EN_FLUSH or EN_DRAIN_TX, purges and closes. True when an open port
  // was closed; a closed port is left alone (false).
  virtual bool Close(DWORD dwWaitTime = 500);
  // Sets up the object's fields and creates its six events; false when an
  // event could not be created.
  virtual bool InitHandles();
  virtual void ReleaseHandles();
  // Opens the device named by szName_ (closing an open port first).
  virtual bool OpenPort();
  // Queues of 4096 bytes, the time-outs of the mode, purged queues.
  virtual bool SetupPort();

  // Notification hooks; each posts its message (see the WM_COM_ numbers).
  virtual void Notify(UINT uMsg, LPARAM lParam, BOOL bPost);
  virtual void OnReceive();
  virtual void OnDsr();
  virtual void OnCts();
  virtual void OnBreak();
  virtual void OnTxEmpty();
  virtual void OnError();
  virtual void OnRing();
  virtual void OnRlsd();
  virtual void OnRxFlag();
  // Kept for derived classes; no dispatch calls them.
  virtual void OnSpare1();
  virtual void OnSpare2();
  virtual void OnSpare3();
  virtual void OnSpare4();
  virtual void OnSpare5();

  // Dispatches one comm-event mask to the hooks.
  virtual void HandleEvent(DWORD dwMask);
  // The worker threads' bodies; 0 when they ended on request, 1 when their
  // opening check failed.
  virtual DWORD WatchLoopOverlapped();
  virtual DWORD WatchLoopPolling();
  virtual DWORD ReadLoop();
  virtual DWORD WriteLoop();

  // Options: thread and overlapped bits take effect at the next Open, buffer
  // bits at once. Setting them on an open port fails its check but stores
  // the value all the same.
  void SetOption(DWORD dwOption);
  DWORD GetOption() const { return dwOption_; }
  bool IsOpen() const { return hComm_ != INVALID_HANDLE_VALUE; }
  bool IsOverlapped() const { return (dwOption_ & EN_OVERLAPPED) != 0; }
  void SetPortName(DWORD dwPort);
  const char *GetPortName() const { return szName_; }
  DWORD GetPort() const { return dwPort_; }

  // Opens COM<dwPort> (1 … 1024), closing it first when open, and starts
  // the worker threads that the options ask for.
  bool Open(DWORD dwPort);
  // 8 data bits, no parity, one stop bit is (rate, NOPARITY, 8, ONESTOPBIT).
  bool SetState(DWORD dwBaudRate, BYTE byParity, BYTE byByteSize, BYTE byStopBits);

  // Reads up to dwLength bytes. INFINITE: one read bounded by the port's
  // time-outs (at most 500 ms overlapped; 100 ms after the last byte; at
  // once when all have come). A finite dwWaitTime takes what the driver holds
  // and then waits byte by byte for at most that long.
  DWORD Read(LPVOID pBuffer, DWORD dwLength, DWORD dwWaitTime = INFINITE);
  // With EN_TX_BUFFER queues the bytes for a worker and returns 0; else
  // WritePort.
  DWORD Write(LPCVOID pBuffer, DWORD dwLength);
  // Hands the bytes to the port. Overlapped: returns at once (dwLength when
  // the write completed at once, 0 while it is pending); pBuffer must stay
  // valid until Flush or the next write. Not overlapped: the count written.
  DWORD WritePort(LPCVOID pBuffer, DWORD dwLength);
  // Returns when everything written so far has left the port.
  bool Flush();

  void ResetCounters();
  DWORD GetInCount() const { return dwInCount_; }
  DWORD GetOutCount() const { return dwOutCount_; }
  // Bytes in the driver's input (bInput) or output queue; 0xFFFFFFFF when
  // closed or failing.
  DWORD GetQueueCount(bool bInput);
  DWORD GetModemStatus();
  // Reads and clears the reception error bits.
  DWORD GetCommErrors();

  // Starts the worker threads that the options ask for (dwExtraOptions are
  // added to the options first). False when a thread is still set or one
  // could not be created.
  bool BeginThread(DWORD dwExtraOptions = 0);
  // Stops all worker threads, waiting dwWaitTime ms for each. False when
  // none ran, or when one did not end and could not be terminated.
  bool EndThread(DWORD dwWaitTime = 500);

  // Reads up to dwCount bytes into RxBuffer_ (workers only).
  DWORD ReadToBuffer(DWORD dwCount);
  // Sends up to dwMax bytes from TxBuffer_.
  DWORD WriteFromBuffer(DWORD dwMax);

 protected:
  // Members in this order: the data model of the port.
  std::atomic<DWORD> dwOption_;
  std::atomic<HANDLE> hComm_;
  DWORD dwPort_;
  char szName_[64];
  DCB DCB_;
  COMMTIMEOUTS CO_;
  BlockBuffer RxBuffer_;
  BlockBuffer TxBuffer_;
  std::atomic<DWORD> dwInCount_;
  std::atomic<DWORD> dwOutCount_;
  std::atomic<bool> bRunning_;
  DWORD dwWaitEvent_;
  HANDLE hWatchThread_;
  DWORD dwWatchThreadId_;
  HANDLE hWatchEvent_;
  HANDLE hReadThread_;
  DWORD dwReadThreadId_;
  HANDLE hReadEvent_;
  HANDLE hWriteThread_;
  DWORD dwWriteThreadId_;
  HANDLE hWriteEvent_;
  HWND hNotifyWnd_;
  DWORD dwNotifyThreadId_;
  DWORD dwNotifyNum_;
  OVERLAPPED RO_;
  OVERLAPPED WO_;
  OVERLAPPED EO_;

  // Guards RO_ and RxBuffer_: held by the owner's Read for its whole run and
  // by a worker's ReadToBuffer (see com_port_read.cpp).
  CRITICAL_SECTION csReceive_;
  // Guards WO_ and whether a write on it is still in flight.
  CRITICAL_SECTION csTransmit_;
  bool bWritePending_;

 private:
  // The read algorithms on the port itself, with RO_ held.
  DWORD ReadPort(LPBYTE pBuffer, DWORD dwLength, DWORD dwWaitTime);
  DWORD ReadPortWaiting(LPBYTE pBuffer, DWORD dwLength);
  DWORD ReadPortTimed(LPBYTE pBuffer, DWORD dwLength, DWORD dwWaitTime, DWORD dwQueued);
  // Aborts a read on RO_ and waits (bounded) until the record is free;
  // returns the bytes that the read still delivered.
  DWORD SettleAbortedRead();
  // Waits for a write still in flight on WO_; csTransmit_ held.
  void FinishPendingWrite();
  // The receive step of the worker loops with n bytes waiting, reading
  // dwCount of them.
  void ReceiveStep(DWORD n, DWORD dwCount);
  // True when the watch thread is the one that sends TxBuffer_ and it holds
  // bytes.
  bool WatchThreadHasTxWork();
  // Waits for the watch thread's pending WaitCommEvent.
  void WaitForCommEvent(DWORD *pMask);
  // Stores a new thread's id and priority; when it was not created, stops
  // the others and yields false.
  bool AdoptThread(bool bCreated, HANDLE hThread, DWORD &dwThreadId, unsigned id, bool bAboveNormal);
  // Stops one worker thread; false when it neither ended nor could be
  // terminated.
  bool StopThread(HANDLE &hThread, HANDLE hEvent, DWORD dwWaitTime);
  // Clears the handles of worker threads that end within dwWaitTime (ones
  // that a failed EndThread left set).
  void ReapThreads(DWORD dwWaitTime);
  void WaitForTxDrain();

  static unsigned __stdcall WatchThreadEntry(void *pParam);
  static unsigned __stdcall ReadThreadEntry(void *pParam);
  static unsigned __stdcall WriteThreadEntry(void *pParam);
};
