// The table of the procedures' texts and their meanings.
#include "status_meaning.h"

#include <cctype>

#include "upgrade_texts.h"

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
  {text::name, id, english, row_phase::phase, StatusKind::kind},
const StatusTextRow kEntries[] = {VELLORAN_STATUS_TEXTS(VELLORAN_STATUS_ROW)};
#undef VELLORAN_STATUS_ROW

// A message box whose text goes on with the cause (and "！").
struct PrefixEntry {
  const char *prefix;
  const char *id;
  const char *english;  // the cause follows
  std::optional<UpgradePhase> phase;
};
const PrefixEntry kPrefixEntries[] = {
    {text::kBoxImageLoadFailed, "image_load_failed", "The image file cannot be loaded: ", UpgradePhase::kPrepare},
};
constexpr char kFullWidthExclamation[] = "！";

// The number that "%u" in format stands for in text, if text has that form.
std::optional<uint32_t> MatchNumbered(std::string_view format, std::string_view text) {
  const size_t mark = format.find("%u");
  if (mark == std::string_view::npos) return std::nullopt;
  const std::string_view prefix = format.substr(0, mark);
  const std::string_view suffix = format.substr(mark + 2);
  if (text.size() <= prefix.size() + suffix.size() || text.substr(0, prefix.size()) != prefix ||
      text.substr(text.size() - suffix.size()) != suffix) {
    return std::nullopt;
  }
  const std::string_view digits = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
  if (digits.size() > 9) return std::nullopt;
  uint32_t number = 0;
  for (const char c : digits) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  return number;
}

std::string FillNumber(std::string_view english, uint32_t number) {
  std::string filled(english);
  const size_t mark = filled.find("%u");
  if (mark != std::string::npos) filled.replace(mark, 2, std::to_string(number));
  return filled;
}

}  // namespace

std::span<const StatusTextRow> StatusTextRows() { return kEntries; }

const char *PhaseName(UpgradePhase phase) {
  switch (phase) {
    case UpgradePhase::kPrepare: return "prepare";
    case UpgradePhase::kDetect: return "detect";
    case UpgradePhase::kBoot: return "boot";
    case UpgradePhase::kVersion: return "version";
    case UpgradePhase::kErase: return "erase";
    case UpgradePhase::kData: return "data";
    case UpgradePhase::kFinish: return "finish";
  }
  return "?";
}

StatusMeaning MeaningOfStatusText(std::string_view text) {
  for (const StatusTextRow &entry : kEntries) {
    if (text == entry.text) return {entry.id, entry.english, entry.phase, entry.kind, std::nullopt};
    if (const auto number = MatchNumbered(entry.text, text)) {
      return {entry.id, FillNumber(entry.english, *number), entry.phase, entry.kind, number};
    }
  }
  for (const PrefixEntry &entry : kPrefixEntries) {
    const std::string_view prefix = entry.prefix;
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix) continue;
    std::string_view cause = text.substr(prefix.size());
    const std::string_view mark = kFullWidthExclamation;
    if (cause.size() >= mark.size() && cause.substr(cause.size() - mark.size()) == mark) {
      cause.remove_suffix(mark.size());
    }
    return {entry.id, entry.english + std::string(cause), entry.phase, StatusKind::kFailure, std::nullopt};
  }
  return {"unknown", std::string(text), std::nullopt, StatusKind::kProgress, std::nullopt};
}

}  // namespace velloran
