// What each status line and message box of the procedures means, for front
// ends that show it in another language or hand it to a program: a stable
// id, an English rendering, the phase of the upgrade it belongs to, and
// whether it reports a failure. The texts and their meanings are one table
// (upgrade_texts.h); the texts are sent unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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

struct StatusMeaning {
  std::string id;       // e.g. "version_mismatch"; "unknown" for a text no procedure sends
  std::string english;  // the number of a numbered line filled in
  // The phase the text belongs to; nullopt for texts that several steps
  // share (a failure line reports the phase that was running).
  std::optional<UpgradePhase> phase;
  StatusKind kind = StatusKind::kProgress;
  std::optional<uint32_t> number;  // the packet number or baud rate in the line
};

// The meaning of a status line or message-box text as a procedure sent it.
StatusMeaning MeaningOfStatusText(std::string_view text);

// One row of the table of upgrade_texts.h.
struct StatusTextRow {
  const char *text;  // as sent; "%u" stands for a number
  const char *id;
  const char *english;  // "%u" takes the same number
  std::optional<UpgradePhase> phase;
  StatusKind kind;
};

// Every text the procedures send, each once (the message box of an image
// that cannot be loaded, which carries its cause, aside).
std::span<const StatusTextRow> StatusTextRows();

}  // namespace velloran
