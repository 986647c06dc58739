// Threads with waitable handles, start-suspended and priorities.
#include "kernel_object.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velloran::platform {
namespace {

class ThreadObject final : public KernelObject {
 public:
  ThreadObject(unsigned(__stdcall *start)(void *), void *arg, bool suspended)
      : start_(start), arg_(arg), suspended_(suspended) {}

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock lock(mutex_);
    auto done = [this] { return finished_; };
    if (milliseconds == INFINITE) {
      changed_.wait(lock, done);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), done)) {
      return WAIT_TIMEOUT;
    }
    return WAIT_OBJECT_0;
  }

  // Runs on the new thread.
  void Run();

  DWORD Resume() {
    std::lock_guard lock(mutex_);
    DWORD previous = suspended_ ? 1 : 0;
    suspended_ = false;
    changed_.notify_all();
    return previous;
  }

  // Blocks until the new thread has reported its kernel id.
  pid_t WaitForStart() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return tid_ != 0; });
    return tid_;
  }

  bool Finished() {
    std::lock_guard lock(mutex_);
    return finished_;
  }

  void Finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
  }

  pid_t tid() {
    std::lock_guard lock(mutex_);
    return tid_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned(__stdcall *start_)(void *);
  void *arg_;
  bool suspended_;
  pid_t tid_ = 0;
  bool finished_ = false;
};

void ThreadObject::Run() {
  {
    std::unique_lock lock(mutex_);
    tid_ = static_cast<pid_t>(syscall(SYS_gettid));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !suspended_; });
  }
  // Signals the handle only once the thread's own frames are gone, also when
  // _endthreadex unwinds them.
  struct Finisher {
    ThreadObject *self;
    ~Finisher() {
      self->Finish();
      self->Release();  // the running thread's reference
    }
  } finisher{this};
  start_(arg_);
}

void *ThreadMain(void *param) {
  static_cast<ThreadObject *>(param)->Run();
  return nullptr;
}

// Win32 priorities as nice values. Idle is nice 19 under the normal policy,
// not SCHED_IDLE: Windows lifts a starved idle thread now and then, while
// SCHED_IDLE lets busy normal work hold the thread off for as long as it
// lasts, and an upgrade must answer the printer within its reply windows.
int NiceFor(int priority) {
  if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return -20;
  if (priority <= THREAD_PRIORITY_IDLE) return 19;
  return -5 * priority;  // HIGHEST -10 … LOWEST 10
}

}  // namespace
}  // namespace velloran::platform

using namespace velloran::platform;

UINT_PTR _beginthreadex(void *, unsigned stack_size, unsigned(__stdcall *start_address)(void *),
                        void *arglist, unsigned initflag, unsigned *thrdaddr) {
  if (start_address == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto *thread = new ThreadObject(start_address, arglist, (initflag & CREATE_SUSPENDED) != 0);
  thread->AddRef();  // one reference for the handle, one for the running thread
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stack_size != 0) pthread_attr_setstacksize(&attr, stack_size < PTHREAD_STACK_MIN ? PTHREAD_STACK_MIN : stack_size);
  pthread_t id;
  int rc = pthread_create(&id, &attr, ThreadMain, thread);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    thread->Release();
    thread->Release();
    SetLastError(rc == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return 0;
  }
  pid_t tid = thread->WaitForStart();
  if (thrdaddr) *thrdaddr = static_cast<unsigned>(tid);
  return reinterpret_cast<UINT_PTR>(RegisterHandle(thread));
}

void _endthreadex(unsigned) {
  pthread_exit(nullptr);  // unwinds the thread's frames, then the Finisher runs
}

DWORD ResumeThread(HANDLE hThread) {
  Ref<ThreadObject> thread = LookupHandleAs<ThreadObject>(hThread);
  if (!thread) return static_cast<DWORD>(-1);
  return thread->Resume();
}

BOOL SetThreadPriority(HANDLE hThread, int nPriority) {
  Ref<ThreadObject> thread = LookupHandleAs<ThreadObject>(hThread);
  if (!thread) return FALSE;
  pid_t tid = thread->tid();
  sched_param param{};
  if (sched_setscheduler(tid, SCHED_OTHER, &param) != 0 ||
      setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(nPriority)) != 0) {
    // Raising a priority needs privilege on Linux; a thread that has already
    // ended has no kernel id left.
    SetLastError(errno == ESRCH ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

BOOL TerminateThread(HANDLE hThread, DWORD) {
  Ref<ThreadObject> thread = LookupHandleAs<ThreadObject>(hThread);
  if (!thread) return FALSE;
  if (thread->Finished()) return TRUE;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
