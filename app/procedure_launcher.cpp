#include "procedure_launcher.h"

#include "upgrade_stop.h"
#include "win32_base.h"

namespace velloran {
namespace {

struct WorkerStart {
  UpgradeProcedure procedure;
  std::atomic<int> *busy_flag;
  std::atomic<int> *running;
  std::unique_ptr<platform::PortClaim> claim;
};

unsigned __stdcall WorkerMain(void *param) {
  const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart *>(param));
  unsigned result = start->procedure(nullptr);
  // The port is free again before the next Load can claim it.
  start->claim.reset();
  // The flag is cleared before the thread stops counting as running, so a
  // procedure started after this one can never see its flag cleared by us.
  start->busy_flag->store(0);
  start->running->fetch_sub(1);
  return result;
}

}  // namespace

bool IdleThreadLauncher::Launch(UpgradeProcedure procedure, std::unique_ptr<platform::PortClaim> claim) {
  // How far the frames go is recorded afresh for each upgrade: a closed
  // dialog must not report the reach of the one before.
  ResetUpgradeStop();
  auto *start = new WorkerStart{procedure, &busy_flag_, &running_, std::move(claim)};
  running_.fetch_add(1);
  // Created suspended so that the procedure runs at idle priority from its
  // first instruction.
  HANDLE thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, WorkerMain, start, CREATE_SUSPENDED, nullptr));
  if (thread == nullptr) {
    running_.fetch_sub(1);
    delete start;
    return false;
  }
  SetThreadPriority(thread, THREAD_PRIORITY_IDLE);
  ResumeThread(thread);
  CloseHandle(thread);
  return true;
}

}  // namespace velloran
