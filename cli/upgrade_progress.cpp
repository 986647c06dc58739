// Following the status lines along the schedule.
#include "upgrade_progress.h"

#include <algorithm>

#include "baud_detection.h"
#include "image.h"
#include "upgrade_timing.h"

namespace velloran::cli {
namespace {

constexpr int kRateCount = 6;

int RatePosition(uint32_t baud) {
  for (int position = 1; position <= kRateCount; ++position) {
    if (kDetectionRates[position - 1] == baud) return position;
  }
  return 0;
}

}  // namespace

UpgradeProgress::UpgradeProgress(Link link, uint32_t fileSize, uint32_t packetSize)
    : link_(link), fileSize_(fileSize), packetSize_(link == Link::kLpt ? 512 : packetSize) {
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
  // A silent rate ends where the next rate's line comes.
  silentRatesUpTo_.assign(schedule_.size(), 0);
  for (size_t i = 1; i < schedule_.size(); ++i) {
    const bool silent = std::string_view(schedule_[i].id) == "testing_baud" &&
                        std::string_view(schedule_[i - 1].id) == "testing_baud";
    silentRatesUpTo_[i] = silentRatesUpTo_[i - 1] + (silent ? 1 : 0);
  }
  cursor_ = -1;
  reachedAtMs_ = 0;
  for (const auto &[id, atMs] : history_) Match(id, atMs);
}

void UpgradeProgress::Match(const std::string &id, double elapsedMs) {
  for (size_t i = static_cast<size_t>(cursor_ + 1); i < schedule_.size(); ++i) {
    if (id == schedule_[i].id) {
      cursor_ = static_cast<int>(i);
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
  if (meaning.number && (meaning.id == "testing_baud" || meaning.id == "baud_found")) {
    baud_ = *meaning.number;
    const int position = RatePosition(*meaning.number);
    bool redraw = false;
    if (meaning.id == "baud_found" && position != 0) {
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
  if (meaning.id == "packet_sent" && meaning.number) {
    packet_ = *meaning.number;
    if (packet_ >= Packets()) phase_ = UpgradePhase::kFinish;  // the finish frame goes next
  }
  if (meaning.id == "testing_baud") {
    // A silent rate takes two reads of 500 ms, or three when the first
    // ends right at the window's edge; the rates seen so far tell which
    // the rest will take, on average.
    if (!history_.empty() && history_.back().first == "testing_baud") {
      silentMsSeen_ += elapsedMs - history_.back().second;
      ++silentRatesSeen_;
      silentExtraMs_ = std::max(0.0, silentMsSeen_ / silentRatesSeen_ - kSilentRateMs);
    }
  }
  history_.emplace_back(meaning.id, elapsedMs);
  Match(meaning.id, elapsedMs);
  return phase;
}

void UpgradeProgress::SetPacketSize(uint32_t packetSize) {
  if (link_ == Link::kLpt || packetSize == 0 || packetSize == packetSize_) return;
  packetSize_ = packetSize;
  Rebuild();
}

double UpgradeProgress::AtMs(size_t index) const {
  return schedule_[index].AtMs() + silentExtraMs_ * static_cast<double>(silentRatesUpTo_[index]);
}

double UpgradeProgress::ExpectedTotalMs() const { return schedule_.empty() ? 0 : AtMs(schedule_.size() - 1); }

double UpgradeProgress::RemainingMs(double elapsedMs) const {
  const double total = ExpectedTotalMs();
  if (cursor_ < 0) return total;
  const size_t next = static_cast<size_t>(cursor_) + 1;
  const double reached = AtMs(static_cast<size_t>(cursor_));
  const double nextAt = next < schedule_.size() ? AtMs(next) : total;
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
