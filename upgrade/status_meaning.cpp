// The table of the procedures' texts and their meanings.
#include "status_meaning.h"

#include <algorithm>
#include <iterator>

namespace velloran {
namespace {

// The phases as the rows of upgrade_texts.h name them.
namespace row_phase {
constexpr std::optional<UpgradePhase> kPrepare = UpgradePhase::kPrepare, kDetect = UpgradePhase::kDetect,
                                      kBoot = UpgradePhase::kBoot, kVersion = UpgradePhase::kVersion,
                                      kErase = UpgradePhase::kErase, kData = UpgradePhase::kData,
                                      kFinish = UpgradePhase::kFinish, kShared = std::nullopt;
}  // namespace row_phase

#define VELLORAN_STATUS_ROW(name, sent, id, english, phase, kind) \
  {StatusId::name, text::name, id, english, row_phase::phase, StatusKind::kind},
const StatusTextRow kRows[] = {VELLORAN_STATUS_TEXTS(VELLORAN_STATUS_ROW)};
#undef VELLORAN_STATUS_ROW

// The row's text with "%u" and "%s" filled in.
std::string Fill(std::string_view format, const StatusReport &report) {
  std::string filled(format);
  if (const size_t mark = filled.find("%u"); mark != std::string::npos) {
    filled.replace(mark, 2, std::to_string(report.number.value_or(0)));
  }
  if (const size_t mark = filled.find("%s"); mark != std::string::npos) filled.replace(mark, 2, report.cause);
  return filled;
}

}  // namespace

std::span<const StatusTextRow> StatusTextRows() { return kRows; }

const StatusTextRow &StatusRow(StatusId id) { return kRows[static_cast<size_t>(id)]; }

const StatusTextRow *StatusRowWithId(std::string_view id) {
  const auto row = std::ranges::find(kRows, id, &StatusTextRow::id);
  return row == std::end(kRows) ? nullptr : row;
}

const char *PhaseName(UpgradePhase phase) {
  // In the order of UpgradePhase.
  constexpr const char *kNames[] = {"prepare", "detect", "boot", "version", "erase", "data", "finish"};
  static_assert(std::size(kNames) == static_cast<size_t>(UpgradePhase::kFinish) + 1);
  const auto index = static_cast<size_t>(phase);
  return index < std::size(kNames) ? kNames[index] : "?";
}

std::string StatusText(const StatusReport &report) { return Fill(StatusRow(report.id).text, report); }

StatusMeaning MeaningOf(const StatusReport &report) {
  const StatusTextRow &row = StatusRow(report.id);
  return {row.id, Fill(row.english, report), row.phase, row.kind, report.number, report.id};
}

}  // namespace velloran
