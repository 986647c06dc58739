// Overlapped ReadFile/WriteFile, GetOverlappedResult, comm events, PurgeComm
// and ClearCommError on a pseudo-terminal whose master side the test holds.
#include "comm_pty_pair.h"
#include "win32_comm.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using velloran::testing::PtyPair;

DWORD Since(DWORD start) { return GetTickCount() - start; }

class Overlapped : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    port_ = CreateFileA(pty_.slave_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE) << GetLastError();
    for (OVERLAPPED *record : {&ro_, &wo_, &eo_}) {
      record->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      ASSERT_NE(record->hEvent, nullptr);
    }
    // The serial port's values: 100 ms between bytes, 500 ms per read.
    COMMTIMEOUTS timeouts{100, 0, 500, 1, 10000};
    ASSERT_TRUE(SetCommTimeouts(port_, &timeouts));
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
    for (OVERLAPPED *record : {&ro_, &wo_, &eo_}) CloseHandle(record->hEvent);
  }

  // Starts a read that must stay pending.
  void StartPendingRead(char *buffer, DWORD length) {
    DWORD got = 77;
    SetEvent(ro_.hEvent);
    ASSERT_FALSE(ReadFile(port_, buffer, length, &got, &ro_));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(ro_.hEvent, 0), WAIT_TIMEOUT);  // reset by the call
    EXPECT_FALSE(HasOverlappedIoCompleted(&ro_));
  }

  PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  OVERLAPPED ro_{}, wo_{}, eo_{};
};

TEST_F(Overlapped, PendingReadCompletesThroughGetOverlappedResult) {
  char buffer[4] = {};
  StartPendingRead(buffer, sizeof buffer);
  DWORD got = 99;
  EXPECT_FALSE(GetOverlappedResult(port_, &ro_, &got, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

  ASSERT_TRUE(pty_.Send("wxyz"));
  DWORD start = GetTickCount();
  ASSERT_TRUE(GetOverlappedResult(port_, &ro_, &got, TRUE));
  EXPECT_LT(Since(start), 400u);  // all bytes came: no time-out waited
  EXPECT_EQ(std::string(buffer, got), "wxyz");
  EXPECT_EQ(WaitForSingleObject(ro_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(HasOverlappedIoCompleted(&ro_));
}

TEST_F(Overlapped, ReadOfQueuedBytesCompletesAtOnce) {
  ASSERT_TRUE(pty_.Send("abc"));
  Sleep(50);
  char buffer[3];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, &ro_));
  EXPECT_EQ(std::string(buffer, got), "abc");
  EXPECT_EQ(WaitForSingleObject(ro_.hEvent, 0), WAIT_OBJECT_0);
}

TEST_F(Overlapped, QuietReadEndsAtTheTotalAndStoppedBytesAfterTheInterval) {
  char buffer[12];
  StartPendingRead(buffer, sizeof buffer);
  DWORD got = 99;
  DWORD start = GetTickCount();
  ASSERT_TRUE(GetOverlappedResult(port_, &ro_, &got, TRUE));
  DWORD waited = Since(start);
  EXPECT_EQ(got, 0u);
  EXPECT_GE(waited, 450u);
  EXPECT_LT(waited, 3000u);

  StartPendingRead(buffer, sizeof buffer);
  start = GetTickCount();
  ASSERT_TRUE(pty_.Send("12345"));
  ASSERT_TRUE(GetOverlappedResult(port_, &ro_, &got, TRUE));
  waited = Since(start);
  EXPECT_EQ(std::string(buffer, got), "12345");
  EXPECT_GE(waited, 90u);
  EXPECT_LT(waited, 450u);  // the interval, not the total, ended it
}

TEST_F(Overlapped, RxAbortEndsAPendingReadAndRxClearDropsQueuedBytes) {
  char buffer[8];
  StartPendingRead(buffer, sizeof buffer);
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXABORT));
  DWORD got = 99;
  EXPECT_FALSE(GetOverlappedResult(port_, &ro_, &got, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(got, 0u);

  ASSERT_TRUE(pty_.Send("stale"));
  Sleep(50);
  COMSTAT stat{};
  DWORD errors = 99;
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(stat.cbInQue, 5u);
  EXPECT_EQ(errors, 0u);
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);

  ASSERT_TRUE(pty_.Send("new"));
  if (!ReadFile(port_, buffer, 3, &got, &ro_)) {  // at once or pending: both are fine
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(GetOverlappedResult(port_, &ro_, &got, TRUE));
  }
  EXPECT_EQ(std::string(buffer, got), "new");

  SetLastError(0);
  EXPECT_FALSE(PurgeComm(port_, 0x10));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Overlapped, SetCommMaskFromAnotherThreadEndsTheWaitWithMaskZero) {
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR | EV_TXEMPTY | EV_CTS | EV_DSR));
  DWORD mask = 99;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &eo_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  DWORD second = 0;
  EXPECT_FALSE(WaitCommEvent(port_, &second, &wo_));  // one wait at a time
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  std::thread other([this] {
    Sleep(100);
    SetCommMask(port_, EV_RXCHAR);
  });
  DWORD n = 0;
  DWORD start = GetTickCount();
  EXPECT_TRUE(GetOverlappedResult(port_, &eo_, &n, TRUE));
  other.join();
  EXPECT_EQ(mask, 0u);
  EXPECT_LT(Since(start), 2000u);
}

TEST_F(Overlapped, ArrivingBytesRaiseRxChar) {
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING));
  DWORD mask = 0;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &eo_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(WaitForSingleObject(eo_.hEvent, 100), WAIT_TIMEOUT);  // a quiet line, no modem lines
  ASSERT_TRUE(pty_.Send("!"));
  DWORD n = 0;
  ASSERT_TRUE(GetOverlappedResult(port_, &eo_, &n, TRUE));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));

  // Reported once: bytes still queued do not end the next wait, new ones do.
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &eo_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_EQ(WaitForSingleObject(eo_.hEvent, 100), WAIT_TIMEOUT);
  ASSERT_TRUE(pty_.Send("?"));
  ASSERT_TRUE(GetOverlappedResult(port_, &eo_, &n, TRUE));
  EXPECT_EQ(mask, static_cast<DWORD>(EV_RXCHAR));
}

TEST_F(Overlapped, DrainedWriteRaisesTxEmpty) {
  ASSERT_TRUE(SetCommMask(port_, EV_TXEMPTY));
  DWORD written = 0;
  BOOL done = WriteFile(port_, "frame", 5, &written, &wo_);
  if (!done) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(GetOverlappedResult(port_, &wo_, &written, TRUE));
  }
  EXPECT_EQ(written, 5u);
  DWORD mask = 0;
  DWORD n = 0;
  if (!WaitCommEvent(port_, &mask, &eo_)) {
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(GetOverlappedResult(port_, &eo_, &n, TRUE));
  }
  EXPECT_EQ(mask, static_cast<DWORD>(EV_TXEMPTY));
  EXPECT_EQ(pty_.Receive(5), "frame");
}

TEST_F(Overlapped, StalledWriteStaysPendingUntilAbortedOrFlushed) {
  // The master does not read: the write cannot finish.
  std::vector<char> data(1 << 20, 'x');
  DWORD written = 0;
  ASSERT_FALSE(WriteFile(port_, data.data(), static_cast<DWORD>(data.size()), &written, &wo_));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  data.assign(data.size(), 'y');  // the caller's buffer is free again
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, nullptr, &stat));
  EXPECT_GT(stat.cbOutQue, 0u);

  ASSERT_TRUE(PurgeComm(port_, PURGE_TXABORT | PURGE_TXCLEAR));
  EXPECT_FALSE(GetOverlappedResult(port_, &wo_, &written, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, 1u << 20);

  // A flush waits for a pending write to end.
  std::string drained = pty_.Receive(1 << 20, 100);
  EXPECT_EQ(drained.find('y'), std::string::npos);
  ASSERT_FALSE(WriteFile(port_, data.data(), 64 * 1024, &written, &wo_));
  std::thread far_end([this] {
    Sleep(200);
    pty_.Receive(64 * 1024);
  });
  DWORD start = GetTickCount();
  EXPECT_TRUE(FlushFileBuffers(port_));
  EXPECT_GE(Since(start), 150u);
  EXPECT_TRUE(GetOverlappedResult(port_, &wo_, &written, FALSE));
  EXPECT_EQ(written, 64u * 1024);
  far_end.join();
}

TEST_F(Overlapped, CloseHandleAbortsEveryPendingOperation) {
  char buffer[4];
  StartPendingRead(buffer, sizeof buffer);
  ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
  DWORD mask = 99;
  ASSERT_FALSE(WaitCommEvent(port_, &mask, &eo_));
  std::thread waiter([this] {
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(port_, &ro_, &n, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  });
  Sleep(100);
  DWORD start = GetTickCount();
  ASSERT_TRUE(CloseHandle(port_));
  waiter.join();
  port_ = INVALID_HANDLE_VALUE;
  EXPECT_LT(Since(start), 2000u);
  EXPECT_EQ(WaitForSingleObject(ro_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(eo_.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(static_cast<DWORD>(eo_.Internal), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(mask, 0u);
}

TEST_F(Overlapped, ModemStatusOfAPseudoTerminalIsEmpty) {
  DWORD status = 99;
  ASSERT_TRUE(GetCommModemStatus(port_, &status));
  EXPECT_EQ(status, 0u);
  EXPECT_TRUE(ClearCommBreak(port_));
  EXPECT_TRUE(SetupComm(port_, 4096, 4096));
}

TEST_F(Overlapped, OverlappedHandleNeedsARecord) {
  char buffer[1];
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(port_, buffer, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
