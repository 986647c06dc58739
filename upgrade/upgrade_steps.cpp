// Reply judging, status lines and the packet phase shared by the USB and
// serial procedures.
#include "upgrade_steps.h"

#include <iterator>

#include "app_values.h"
#include "exchange.h"
#include "procedure_timing.h"
#include "status_report.h"
#include "upgrade_stop.h"
#include "upgrade_texts.h"
#include "win32_base.h"

namespace velloran {
namespace {

// What each control step sends and reports.
struct StepRow {
  uint8_t command;
  int failureCode;  // the value of its failure lines once the printer has answered
  StatusLine success;
};

// In the order of ControlStep.
constexpr StepRow kSteps[] = {
    {CMD_ENTER_BOOT, 0, {StatusId::kBootEntered, 100}},
    {CMD_VERSION, 20, {StatusId::kVersionMatch, 100}},
    {CMD_ERASE, 240, {StatusId::kEraseDone, 300}},
};
static_assert(std::size(kSteps) == static_cast<size_t>(ControlStep::kEraseFlash) + 1);

const StepRow &RowOf(ControlStep step) { return kSteps[static_cast<size_t>(step)]; }

void Send(const StatusLine &line) {
  if (line.id) SendUpgradeStatus(*line.id, line.code);
}

// refuseUnusableSize: the packet size of a successful boot switch is the one
// the data frames will use.
bool Report(ControlStep step, bool refuseUnusableSize) {
  const ReplyOutcome outcome = JudgeReceivedReply(RowOf(step).command);
  if (outcome == ReplyOutcome::kSuccess && step == ControlStep::kSwitchToBoot) {
    const uint32_t size = PacketSizeFromBootReply(g_RxFrame);
    const std::optional<StatusId> refusal = PacketSizeRefusal(size);
    if (refuseUnusableSize && refusal) {
      SendUpgradeStatus(*refusal, 0);
      return false;
    }
    g_nPacketSize = size;
  }
  const bool pause = (outcome == ReplyOutcome::kSuccess && step != ControlStep::kSwitchToBoot) ||
                     (outcome == ReplyOutcome::kVersionMismatch && step == ControlStep::kCheckVersion);
  if (pause) Sleep(timing::kBeforeVerdictMs);
  Send(ControlStepLine(step, outcome));
  return outcome == ReplyOutcome::kSuccess;
}

}  // namespace

StatusLine ControlStepLine(ControlStep step, ReplyOutcome outcome) {
  const int code = RowOf(step).failureCode;
  switch (outcome) {
    case ReplyOutcome::kNoReply: return {StatusId::kNoReplyEnd, 0};
    case ReplyOutcome::kCorrupt: return {StatusId::kReplyChecksumExit, code};
    case ReplyOutcome::kCrcError: return {StatusId::kCrcErrorExit, code};
    case ReplyOutcome::kFlashError: return {StatusId::kFlashErrorExit, code};
    case ReplyOutcome::kVersionMismatch: return {StatusId::kVersionMismatch, code};
    case ReplyOutcome::kOtherFault: return {StatusId::kOtherFaultExit, code};
    case ReplyOutcome::kSuccess: break;
  }
  return RowOf(step).success;
}

bool ReportControlStep(ControlStep step) { return Report(step, true); }

bool ReportBootSwitch(BootSwitch which) {
  return Report(ControlStep::kSwitchToBoot, which == BootSwitch::kSecond);
}

bool BootReplyAnnouncesUnusableSize() {
  return JudgeReceivedReply(CMD_ENTER_BOOT) == ReplyOutcome::kSuccess &&
         PacketSizeRefusal(PacketSizeFromBootReply(g_RxFrame)).has_value();
}

void PrepareVersionCheck(StatusId line) {
  PauseUnlessStopped(timing::kBeforeControlFrameMs);
  BuildVersionFrame();
  SendUpgradeStatus(line, 20);
  PauseUnlessStopped(timing::kAfterVersionFrameMs);
}

void PrepareErase() {
  PauseUnlessStopped(timing::kBeforeControlFrameMs);
  ResetExchange();
  BuildControlFrame(CMD_ERASE);
  SendUpgradeStatus(StatusId::kEraseStart, 220);
  PauseUnlessStopped(timing::kEraseDotsMs);
  SendUpgradeStatus(StatusId::kEraseDots, 240);
}

std::string PacketSentLine(uint32_t number) { return StatusText({StatusId::kPacketSentFormat, number}); }

int PacketProgress(uint32_t index, uint32_t full) {
  return static_cast<int>(uint64_t{index} * 100 / (uint64_t{full} + 1));
}

StatusLine PacketFailureLine(ReplyOutcome outcome, bool remainder, int progress) {
  switch (outcome) {
    case ReplyOutcome::kNoReply: return {StatusId::kFirmwareFault, progress};
    case ReplyOutcome::kCorrupt: return {StatusId::kTransferError, progress};
    case ReplyOutcome::kCrcError:
      return {remainder ? StatusId::kCrcErrorEnd : StatusId::kPacketCrcFault, progress};
    case ReplyOutcome::kFlashError: return {StatusId::kFlashErrorEnd, progress};
    default: return {StatusId::kOtherFaultEnd, progress};
  }
}

StatusLine FinishLine(ReplyOutcome outcome) {
  switch (outcome) {
    case ReplyOutcome::kNoReply: return {std::nullopt, 0};
    case ReplyOutcome::kSuccess: return {StatusId::kUpgradeDone, 200};
    case ReplyOutcome::kCorrupt: return {StatusId::kTransferError, 300};
    case ReplyOutcome::kCrcError: return {StatusId::kCrcErrorEnd, 300};
    case ReplyOutcome::kFlashError: return {StatusId::kFlashErrorEnd, 300};
    default: return {StatusId::kOtherFaultEnd, 300};
  }
}

bool SendImagePackets(const LoadedImage &image, const PacketLink &link) {
  const uint32_t size = g_nPacketSize;
  const uint32_t full = FullPacketCount(image.size, size);
  const bool hasRemainder = RemainderLength(image.size, size) != 0;
  int progress = 0;
  for (uint32_t index = 0; index < full + (hasRemainder ? 1 : 0); ++index) {
    const bool remainder = index == full;
    ResetExchange();
    if (!PauseUnlessStopped(link.pauseBeforeFrame)) return false;
    SetDataFrameHead();
    if (!CutPacket(image, index, size)) {
      Send(PacketFailureLine(ReplyOutcome::kNoReply, remainder, progress));
      return false;
    }
    g_nRxLen = ReplyLength(CMD_DATA);
    link.sendDataFrame();
    const ReplyOutcome outcome = JudgeReceivedReply(CMD_DATA);
    if (outcome != ReplyOutcome::kSuccess) {
      Send(PacketFailureLine(outcome, remainder, progress));
      return false;
    }
    progress = remainder ? 100 : PacketProgress(index, full);
    SendUpgradeStatus({StatusId::kPacketSentFormat, index + 1}, progress);
    ResetExchange();
  }
  return true;
}

bool ReportFinish() {
  const ReplyOutcome outcome = JudgeReceivedReply(CMD_FINISH);
  Send(FinishLine(outcome));
  if (outcome != ReplyOutcome::kSuccess) return false;
  Sleep(timing::kBeforeCompletionBoxMs);
  UpgradeMessageBox(StatusId::kBoxUpgradeComplete);
  return true;
}

const LoadedImage *UpgradeImage(void *param, LoadedImage &own) {
  ImageLoadResult loaded;
  const ImageLoadResult *given = static_cast<const ImageLoadResult *>(param);
  if (given == nullptr) {
    loaded = LoadImageFile(g_strImagePath.Get());
    given = &loaded;
  }
  if (!given->ok()) {
    SendUpgradeStatus(*given->error, 0);
    UpgradeMessageBox({StatusId::kBoxImageLoadFailed, std::nullopt, given->cause});
    return nullptr;
  }
  if (given != &loaded) return &given->image;
  own = std::move(loaded.image);
  return &own;
}

unsigned EndProcedure(unsigned result) {
  g_bUpgrading = 0;
  return result;
}

}  // namespace velloran
