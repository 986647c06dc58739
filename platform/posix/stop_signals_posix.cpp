// Stop signals on POSIX: blocked in every thread and taken by one watcher
// thread with sigwait, so no system call of the upgrade is interrupted and
// the handler may lock and notify like any other code.
#include "stop_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace velloran::platform {
namespace {

int SignalNumber(StopSignal signal) {
  switch (signal) {
    case StopSignal::kInterrupt: return SIGINT;
    case StopSignal::kTerminate: return SIGTERM;
    case StopSignal::kHangUp: return SIGHUP;
    case StopSignal::kBrokenPipe: return SIGPIPE;
  }
  return SIGTERM;
}

StopSignal FromNumber(int number) {
  switch (number) {
    case SIGINT: return StopSignal::kInterrupt;
    case SIGHUP: return StopSignal::kHangUp;
    default: return StopSignal::kTerminate;
  }
}

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, number);
  return set;
}

}  // namespace

void WatchStopSignals(StopHandler onStop) {
  const sigset_t watched = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  std::thread([watched, onStop] {
    for (;;) {
      int number = 0;
      const int error = sigwait(&watched, &number);
      if (error != 0) {
        // Only a bad set fails, and it would fail at every call: the
        // signals stay blocked, so say so rather than spin.
        std::fprintf(stderr, "velloran: Ctrl-C, SIGTERM and SIGHUP are not watched: sigwait: %s\n",
                     std::strerror(error));
        return;
      }
      onStop(FromNumber(number));
    }
  }).detach();
}

void EndAsSignalled(StopSignal signal) {
  const int number = SignalNumber(signal);
  ::signal(number, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, number);
  // raise() sends the signal to this thread; unblocked here, its default
  // action ends the whole process.
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(number);
  _exit(128 + number);
}

int SignalExitStatus(StopSignal signal) { return 128 + SignalNumber(signal); }

}  // namespace velloran::platform
