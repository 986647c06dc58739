// Choices of the POSIX platform layer where Win32 leaves room or cannot be
// followed: handles are validated instead of trusted, a running thread cannot
// be terminated, and _endthreadex unwinds the thread's frames.
#include "win32_base.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

unsigned __stdcall ReturnArgument(void *arg) { return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(arg)); }

unsigned __stdcall WaitForEvent(void *arg) {
  WaitForSingleObject(static_cast<HANDLE>(arg), INFINITE);
  return 5;
}

TEST(Handles, ClosedAndUnknownHandlesAreRefused) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(CloseHandle(nullptr));
  int not_a_handle = 0;
  EXPECT_FALSE(SetEvent(&not_a_handle));
}

unsigned __stdcall EndThroughEndthreadexUnwinding(void *arg) {
  auto *flag = static_cast<std::atomic<bool> *>(arg);
  struct SetOnUnwind {
    std::atomic<bool> *flag;
    ~SetOnUnwind() { *flag = true; }
  } guard{flag};
  _endthreadex(77);
}

TEST(PosixThreads, EndthreadexUnwindsTheThreadsFrames) {
  std::atomic<bool> unwound{false};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, EndThroughEndthreadexUnwinding, &unwound, 0, nullptr));
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(unwound);
  CloseHandle(thread);
}

TEST(PosixThreads, RunningThreadCannotBeTerminatedButCanBeWaitedAfterClose) {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WaitForEvent, stop, 0, nullptr));
  SetLastError(0);
  EXPECT_FALSE(TerminateThread(thread, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
  SetEvent(stop);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(stop);
}

TEST(PosixThreads, TerminatingAnEndedThreadSucceeds) {
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ReturnArgument, nullptr, 0, nullptr));
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(TerminateThread(thread, 0));
  CloseHandle(thread);
}

}  // namespace
