// Choosing the language, filling catalog messages, naming procedure texts.
#include "messages.h"

#include <algorithm>
#include <cstdlib>

#include "printer_state.h"
#include "progress_bar.h"
#include "status_meaning.h"

namespace velloran::cli {

Language LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang) {
  for (const char *value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).substr(0, 2) == "zh" ? Language::kChinese : Language::kEnglish;
  }
  return Language::kEnglish;
}

Language LanguageFromEnvironment() {
  return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::optional<Language> LanguageNamed(std::string_view name) {
  if (name == "zh") return Language::kChinese;
  if (name == "en") return Language::kEnglish;
  return std::nullopt;
}

Message CliMessage(std::string_view id, std::initializer_list<MessageArg> args) {
  size_t count = 0;
  const CatalogRow *rows = CatalogRows(&count);
  for (size_t i = 0; i < count; ++i) {
    if (id == rows[i].id) return FillMessage(rows[i], args);
  }
  if (const MessageRow *row = PrinterStateRow(id)) return FillMessage(*row, args);
  return {std::string(id), std::string(id), std::string(id)};
}

Message PhaseMessage(UpgradePhase phase) { return CliMessage(std::string("phase_") + PhaseName(phase)); }

int WidestPhaseName(Language language) {
  int widest = 0;
  for (int p = static_cast<int>(UpgradePhase::kPrepare); p <= static_cast<int>(UpgradePhase::kFinish); ++p) {
    widest = std::max(widest, NarrowTextWidth(PhaseMessage(static_cast<UpgradePhase>(p)).In(language)));
  }
  return widest;
}

Message ProcedureMessage(const StatusReport &report) {
  StatusMeaning meaning = MeaningOf(report);
  return {std::move(meaning.id), StatusText(report), std::move(meaning.english)};
}

}  // namespace velloran::cli
