// Where a running upgrade stands, followed along its status lines: the phase,
// the packets and bytes sent, the baud rate found, and the time left by the
// schedule of the prescribed pauses (upgrade_schedule.h). The schedule is
// redrawn as the printer's baud rate and packet size become known.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "frame.h"
#include "status_meaning.h"
#include "upgrade_schedule.h"

namespace velloran::cli {

class UpgradeProgress {
 public:
  // packetSize: what the data frames are assumed to carry until the printer
  // announces its size (the parallel port's is fixed).
  UpgradeProgress(Link link, uint32_t fileSize, uint32_t packetSize = kMaxPacketSize);

  // A status line came elapsedMs after the start. Returns the phase it
  // belongs to. Its work does not grow with the image's size.
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
  uint32_t PacketSize() const { return packetSize_; }
  uint64_t BytesSent() const;
  uint64_t BytesTotal() const;
  std::optional<uint32_t> Baud() const { return baud_; }
  // Whether the data phase has begun: packet and byte counts apply.
  bool InDataPhase() const { return phase_ >= UpgradePhase::kData; }

 private:
  // A line of the schedule: milestone index, and the line within its run.
  struct Place {
    size_t index;
    uint32_t line;
  };
  void Rebuild();
  // Serial: the rate position from first on with the shortest run.
  int QuickestRateFrom(int first) const;
  // Where a line of the schedule comes, silent detection rates taken as long
  // as those seen so far.
  double AtMs(Place place) const;
  // The silent detection rates behind a line of the schedule.
  int SilentRatesAt(Place place) const;
  void Match(StatusId line, std::optional<uint32_t> number, double elapsedMs);

  const Link link_;
  const uint32_t fileSize_;
  uint32_t packetSize_;
  int ratePosition_ = 1;  // serial: the detection list position assumed
  bool rateKnown_ = false;
  std::vector<Milestone> schedule_;  // a few dozen milestones, whatever the image's size
  std::vector<int> silentBefore_;    // silent detection rates before each milestone
  double silentMsSeen_ = 0;
  int silentRatesSeen_ = 0;
  double silentExtraMs_ = 0;  // what a silent rate took beyond the schedule, on average
  // The lines before the data phase, replayed on a redrawn schedule (the
  // schedule is only redrawn before it).
  struct Seen {
    StatusId status;
    std::optional<uint32_t> number;
    double atMs;
  };
  std::vector<Seen> history_;
  std::optional<StatusId> last_;  // the line before
  double lastAtMs_ = 0;
  std::optional<Place> cursor_;  // the last line of the schedule reached
  double reachedAtMs_ = 0;
  UpgradePhase phase_ = UpgradePhase::kPrepare;
  uint32_t packet_ = 0;
  std::optional<uint32_t> baud_;
};

}  // namespace velloran::cli
