// Where a running upgrade stands, followed along its status lines: the phase,
// the packets and bytes sent, the baud rate found, and the time left by the
// schedule of the prescribed pauses (upgrade_schedule.h). The schedule is
// redrawn as the printer's baud rate and packet size become known.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli_options.h"
#include "status_meaning.h"
#include "upgrade_schedule.h"

namespace velloran::cli {

class UpgradeProgress {
 public:
  // packetSize: what the data frames are assumed to carry until the printer
  // announces its size (the parallel port's is fixed).
  UpgradeProgress(Link link, uint32_t fileSize, uint32_t packetSize = 512);

  // A status line came elapsedMs after the start. Returns the phase it
  // belongs to.
  UpgradePhase OnStatus(const StatusMeaning &meaning, double elapsedMs);
  // The packet size the printer announced.
  void SetPacketSize(uint32_t packetSize);

  // The time left at elapsedMs, by the schedule.
  double RemainingMs(double elapsedMs) const;
  // The whole run by the schedule as it stands now.
  double ExpectedTotalMs() const;
  // How much of the run is behind, 0 … 1.
  double Fraction(double elapsedMs) const;

  UpgradePhase Phase() const { return phase_; }
  uint32_t Packet() const { return packet_; }
  uint32_t Packets() const;
  uint64_t BytesSent() const;
  uint64_t BytesTotal() const;
  std::optional<uint32_t> Baud() const { return baud_; }
  // Whether the data phase has begun: packet and byte counts apply.
  bool InDataPhase() const { return phase_ >= UpgradePhase::kData; }

 private:
  void Rebuild();
  // Serial: the rate position from first on with the shortest run.
  int QuickestRateFrom(int first) const;
  // Where milestone index comes, silent detection rates taken as long as
  // those seen so far.
  double AtMs(size_t index) const;
  void Match(const std::string &id, double elapsedMs);

  const Link link_;
  const uint32_t fileSize_;
  uint32_t packetSize_;
  int ratePosition_ = 1;  // serial: the detection list position assumed
  bool rateKnown_ = false;
  std::vector<Milestone> schedule_;
  std::vector<int> silentRatesUpTo_;  // silent detection rates up to each milestone
  double silentMsSeen_ = 0;
  int silentRatesSeen_ = 0;
  double silentExtraMs_ = 0;  // what a silent rate took beyond the schedule, on average
  std::vector<std::pair<std::string, double>> history_;  // ids and times of the lines so far
  int cursor_ = -1;                                      // the last milestone reached
  double reachedAtMs_ = 0;
  UpgradePhase phase_ = UpgradePhase::kPrepare;
  uint32_t packet_ = 0;
  std::optional<uint32_t> baud_;
};

}  // namespace velloran::cli
