// Following the status lines along the schedule.
#include "upgrade_progress.h"

#include <algorithm>
#include <iterator>

#include "baud_detection.h"
#include "image.h"

namespace velloran::cli {
namespace {

constexpr int kRateCount = static_cast<int>(std::size(kDetectionRates));

// The rate's place in the detection order, from 1; 0 for another rate.
int RatePosition(uint32_t baud) {
  const auto rate = std::ranges::find(kDetectionRates, baud);
  return rate == std::end(kDetectionRates) ? 0 : static_cast<int>(rate - std::begin(kDetectionRates)) + 1;
}

}  // namespace

UpgradeProgress::UpgradeProgress(Link link, uint32_t fileSize, uint32_t packetSize)
    : link_(link), fileSize_(fileSize), packetSize_(link == Link::kLpt ? timing::kLptPacketSize : packetSize) {
  // Until the printer is found: the quickest run among the rates not yet
  // ruled out.
  if (link_ == Link::kSerial) ratePosition_ = QuickestRateFrom(1);
  Rebuild();
}

int UpgradeProgress::QuickestRateFrom(int first) const {
  int best = first;
  for (int position = first + 1; position <= kRateCount; ++position) {
    if (SerialUpgradeTime(fileSize_, packetSize_, position).TotalMs() <
        SerialUpgradeTime(fileSize_, packetSize_, best).TotalMs()) {
      best = position;
    }
  }
  return best;
}

void UpgradeProgress::Rebuild() {
  switch (link_) {
    case Link::kUsb: schedule_ = UsbSchedule(fileSize_, packetSize_); break;
    case Link::kSerial: schedule_ = SerialSchedule(fileSize_, packetSize_, ratePosition_); break;
    case Link::kLpt: schedule_ = LptSchedule(fileSize_); break;
  }
  silentBefore_.assign(schedule_.size(), 0);
  for (size_t i = 1; i < schedule_.size(); ++i) {
    silentBefore_[i] = SilentRatesAt({i - 1, schedule_[i - 1].lines - 1});
  }
  cursor_.reset();
  reachedAtMs_ = 0;
  for (const Seen &seen : history_) Match(seen.status, seen.number, seen.atMs);
}

int UpgradeProgress::SilentRatesAt(Place place) const {
  // A silent rate ends where the next rate's line comes.
  const auto testing = [this](size_t i) { return schedule_[i].status == StatusId::kTestingBaudFormat; };
  if (!testing(place.index)) return silentBefore_[place.index];
  const bool afterTesting = place.index > 0 && testing(place.index - 1);
  return silentBefore_[place.index] + static_cast<int>(place.line) + (afterTesting ? 1 : 0);
}

void UpgradeProgress::Match(StatusId line, std::optional<uint32_t> number, double elapsedMs) {
  // The line of a run that a numbered line names (a packet), or the next one.
  const auto lineIn = [&](size_t index, uint32_t next) {
    const uint32_t lines = schedule_[index].lines;
    if (line == StatusId::kPacketSentFormat && number && *number >= 1) return std::min(*number - 1, lines - 1);
    return std::min(next, lines - 1);
  };
  if (cursor_ && line == schedule_[cursor_->index].status && cursor_->line + 1 < schedule_[cursor_->index].lines) {
    cursor_->line = lineIn(cursor_->index, cursor_->line + 1);
    reachedAtMs_ = elapsedMs;
    return;
  }
  for (size_t i = cursor_ ? cursor_->index + 1 : 0; i < schedule_.size(); ++i) {
    if (line == schedule_[i].status) {
      cursor_ = Place{i, lineIn(i, 0)};
      reachedAtMs_ = elapsedMs;
      return;
    }
  }
}

UpgradePhase UpgradeProgress::OnStatus(const StatusMeaning &meaning, double elapsedMs) {
  const UpgradePhase phase = meaning.phase.value_or(phase_ == UpgradePhase::kPrepare
                                                        ? (link_ == Link::kSerial ? UpgradePhase::kDetect
                                                                                  : UpgradePhase::kBoot)
                                                        : phase_);
  phase_ = phase;
  if (meaning.number && (meaning.status == StatusId::kTestingBaudFormat || meaning.status == StatusId::kBaudFoundFormat)) {
    baud_ = *meaning.number;
    const int position = RatePosition(*meaning.number);
    bool redraw = false;
    if (meaning.status == StatusId::kBaudFoundFormat && position != 0) {
      redraw = !rateKnown_ || position != ratePosition_;
      rateKnown_ = true;
      ratePosition_ = position;
    } else if (!rateKnown_ && position > ratePosition_) {
      // The rates before this one stayed silent.
      ratePosition_ = QuickestRateFrom(position);
      redraw = true;
    }
    if (redraw) Rebuild();
  }
  if (meaning.status == StatusId::kPacketSentFormat && meaning.number) {
    packet_ = *meaning.number;
    if (packet_ >= Packets()) phase_ = UpgradePhase::kFinish;  // the finish frame goes next
  }
  if (meaning.status == StatusId::kTestingBaudFormat && last_ == StatusId::kTestingBaudFormat) {
    // A silent rate takes two reads of 500 ms, or three when the second
    // starts right at the window's edge; the rates seen so far tell which
    // the rest will take, on average.
    silentMsSeen_ += elapsedMs - lastAtMs_;
    ++silentRatesSeen_;
    silentExtraMs_ = std::max(0.0, silentMsSeen_ / silentRatesSeen_ - kSilentRateMs);
  }
  last_ = meaning.status;
  lastAtMs_ = elapsedMs;
  if (phase_ < UpgradePhase::kData) history_.push_back({meaning.status, meaning.number, elapsedMs});
  Match(meaning.status, meaning.number, elapsedMs);
  return phase;
}

void UpgradeProgress::SetPacketSize(uint32_t packetSize) {
  if (link_ == Link::kLpt || packetSize == 0 || packetSize == packetSize_) return;
  packetSize_ = packetSize;
  Rebuild();
}

double UpgradeProgress::AtMs(Place place) const {
  return schedule_[place.index].AtMs(place.line) + silentExtraMs_ * SilentRatesAt(place);
}

double UpgradeProgress::ExpectedTotalMs() const {
  if (schedule_.empty()) return 0;
  return AtMs({schedule_.size() - 1, schedule_.back().lines - 1});
}

double UpgradeProgress::RemainingMs(double elapsedMs) const {
  const double total = ExpectedTotalMs();
  if (!cursor_) return total;
  const double reached = AtMs(*cursor_);
  double nextAt = total;
  if (cursor_->line + 1 < schedule_[cursor_->index].lines) {
    nextAt = AtMs({cursor_->index, cursor_->line + 1});
  } else if (cursor_->index + 1 < schedule_.size()) {
    nextAt = AtMs({cursor_->index + 1, 0});
  }
  // Time goes by until the next line is due; a later line holds the
  // estimate at the time left from there.
  return std::max({0.0, total - nextAt, total - reached - (elapsedMs - reachedAtMs_)});
}

double UpgradeProgress::Fraction(double elapsedMs) const {
  const double total = ExpectedTotalMs();
  if (total <= 0) return 0;
  return std::clamp(1.0 - RemainingMs(elapsedMs) / total, 0.0, 1.0);
}

uint32_t UpgradeProgress::Packets() const { return PacketCount(fileSize_, packetSize_); }

uint64_t UpgradeProgress::BytesSent() const { return uint64_t{std::min(packet_, Packets())} * packetSize_; }

uint64_t UpgradeProgress::BytesTotal() const { return uint64_t{Packets()} * packetSize_; }

}  // namespace velloran::cli
