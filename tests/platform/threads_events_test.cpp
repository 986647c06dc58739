// Documented Win32 behaviour of events, threads, waits, critical sections,
// the tick count and the last error. The same cases run against the POSIX
// platform layer and, in the Windows build, against the system itself.
#include "win32_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

DWORD Elapsed(DWORD start) { return GetTickCount() - start; }

TEST(Events, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetReleasesOneWait) {
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(Events, WaitTimesOutAfterItsTimeAndWakesOnSet) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(event, 150), WAIT_TIMEOUT);
  DWORD waited = Elapsed(start);
  EXPECT_GE(waited, 140u);
  EXPECT_LT(waited, 2000u);

  std::thread setter([event] {
    Sleep(50);
    SetEvent(event);
  });
  start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_LT(Elapsed(start), 2000u);
  setter.join();
  CloseHandle(event);
}


TEST(Handles, CloseWhileAnotherThreadWaitsIsSafe) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> result{12345};
  std::thread waiter([&] { result = WaitForSingleObject(event, 300); });
  Sleep(50);
  CloseHandle(event);
  waiter.join();
  EXPECT_EQ(result.load(), WAIT_TIMEOUT);
}

TEST(LastError, IsPerThread) {
  // Each side sets its own code while the other one holds a different one.
  HANDLE other_set = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE main_set = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD seen_by_other = 0;
  std::thread other([&] {
    SetLastError(ERROR_FILE_NOT_FOUND);
    SetEvent(other_set);
    WaitForSingleObject(main_set, 5000);
    seen_by_other = GetLastError();
  });
  WaitForSingleObject(other_set, 5000);
  SetLastError(ERROR_ACCESS_DENIED);
  SetEvent(main_set);
  DWORD seen_by_main = GetLastError();
  other.join();
  EXPECT_EQ(seen_by_main, ERROR_ACCESS_DENIED);
  EXPECT_EQ(seen_by_other, ERROR_FILE_NOT_FOUND);
  CloseHandle(other_set);
  CloseHandle(main_set);
}

TEST(Time, SleepAndTickCountAgree) {
  DWORD start = GetTickCount();
  Sleep(120);
  DWORD slept = Elapsed(start);
  EXPECT_GE(slept, 100u);  // the tick count may advance in steps of 10-16 ms
  EXPECT_LT(slept, 2000u);
}

unsigned __stdcall ReturnArgument(void *arg) { return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(arg)); }


unsigned __stdcall WaitForEvent(void *arg) {
  WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE);
  return 5;
}

TEST(Threads, HandleIsSignalledWhenTheFunctionReturns) {
  unsigned id = 0;
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReturnArgument, reinterpret_cast<void *>(42), 0, &id));
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
  HANDLE go = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WaitForEvent, go, CREATE_SUSPENDED, nullptr));
  EXPECT_EQ(WaitForSingleObject(thread, 100), WAIT_TIMEOUT);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(ResumeThread(thread), 0u);
  CloseHandle(thread);
  CloseHandle(go);
}


TEST(Threads, IdlePriorityIsAccepted) {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WaitForEvent, stop, 0, nullptr));
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
  SetEvent(stop);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  CloseHandle(stop);
}

TEST(CriticalSections, ExcludeOtherThreadsAndAreRecursive) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // recursive on the owning thread
  std::atomic<bool> other_got_it{true};
  std::thread other([&] { other_got_it = TryEnterCriticalSection(&cs) != FALSE; });
  other.join();
  EXPECT_FALSE(other_got_it);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);

  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      EnterCriticalSection(&cs);
      ++counter;
      LeaveCriticalSection(&cs);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&cs);
}

TEST(Format, WsprintfFormatsPortNames) {
  char name[64];
  EXPECT_EQ(wsprintfA(name, "\\\\.\\COM%d", 1024), 11);
  EXPECT_STREQ(name, "\\\\.\\COM1024");
}

}  // namespace
