// What each status line and message box of the procedures means, for front
// ends that show it in another language or hand it to a program: a stable
// id, an English rendering, the phase of the upgrade it belongs to, and
// whether it reports a failure. The texts and their meanings are one table
// (upgrade_texts.h); a procedure reports a row of it by its StatusId, so a
// front end never has to read a text back into its meaning.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "upgrade_texts.h"

namespace velloran {

// The stages of an upgrade, in the order they run. kPrepare: before the
// printer is touched (the image, the port).
enum class UpgradePhase { kPrepare, kDetect, kBoot, kVersion, kErase, kData, kFinish };

// "prepare", "detect", "boot", "version", "erase", "data", "finish".
const char *PhaseName(UpgradePhase phase);

enum class StatusKind {
  kProgress,    // a step began or succeeded
  kFailure,     // the procedure ends without completing
  kCompletion,  // the upgrade completed
};

// One report of a procedure: a row of the table and what fills it in.
struct StatusReport {
  StatusReport(StatusId id, std::optional<uint32_t> number = std::nullopt, std::string cause = {})
      : id(id), number(number), cause(std::move(cause)) {}
  StatusId id;
  std::optional<uint32_t> number;  // for "%u": the packet number or the baud rate
  std::string cause;               // for "%s": why the image could not be loaded
};

struct StatusMeaning {
  std::string id;       // e.g. "version_mismatch"
  std::string english;  // filled in like the text
  // The phase the text belongs to; nullopt for texts that several steps
  // share (a failure line reports the phase that was running).
  std::optional<UpgradePhase> phase;
  StatusKind kind = StatusKind::kProgress;
  std::optional<uint32_t> number;  // the packet number or baud rate in the line
  StatusId status = StatusId::kExit;  // the row
};

// The text of a report as the procedures send it, and its meaning.
std::string StatusText(const StatusReport &report);
StatusMeaning MeaningOf(const StatusReport &report);

// One row of the table of upgrade_texts.h.
struct StatusTextRow {
  StatusId status;
  const char *text;  // as sent; "%u" stands for a number, "%s" for a cause
  const char *id;
  const char *english;  // "%u" and "%s" take the same values
  std::optional<UpgradePhase> phase;
  StatusKind kind;
};

// Every text the procedures send, each once, in the order of StatusId.
std::span<const StatusTextRow> StatusTextRows();
const StatusTextRow &StatusRow(StatusId id);

// The row whose id is this one (as a JSON event carries it), if any.
const StatusTextRow *StatusRowWithId(std::string_view id);

}  // namespace velloran
