// Starting an upgrade procedure as the whole body of a worker thread.
#pragma once

#include <atomic>
#include <memory>

#include "port_claim.h"

namespace velloran {

using UpgradeProcedure = unsigned (*)(void *);

class ProcedureLauncher {
 public:
  virtual ~ProcedureLauncher() = default;
  // Starts procedure(nullptr) on a new thread and returns at once; false
  // when no thread could be started. The claim (none: nullptr) is kept until
  // the procedure has returned and released before the busy flag drops.
  virtual bool Launch(UpgradeProcedure procedure, std::unique_ptr<platform::PortClaim> claim) = 0;
  // True from a successful Launch until the procedure has returned and the
  // busy flag has been cleared behind it.
  virtual bool Running() const = 0;
};

// Runs each procedure on its own thread at idle priority. When the procedure
// returns, the thread releases the claim, clears busy_flag (also when the
// procedure never set it), then counts as no longer running. Nobody waits for the thread. Each
// launch starts a fresh record of how far the frames go (ReachedSoFar).
class IdleThreadLauncher final : public ProcedureLauncher {
 public:
  explicit IdleThreadLauncher(std::atomic<int> &busy_flag) : busy_flag_(busy_flag) {}
  bool Launch(UpgradeProcedure procedure, std::unique_ptr<platform::PortClaim> claim) override;
  bool Running() const override { return running_.load() > 0; }

 private:
  std::atomic<int> &busy_flag_;
  std::atomic<int> running_{0};
};

}  // namespace velloran
