// The parallel-port upgrade procedure: two boot switches 2000 ms apart, the
// version notice, erase, the packets back to back, finish. Nothing is read.
#include "lpt_upgrade.h"

#include "app_values.h"
#include "exchange.h"
#include "frame.h"
#include "image.h"
#include "procedure_timing.h"
#include "procedures.h"
#include "status_report.h"
#include "upgrade_steps.h"
#include "upgrade_stop.h"
#include "upgrade_texts.h"
#include "win32_base.h"

using namespace velloran;

HANDLE g_hLpt = INVALID_HANDLE_VALUE;

namespace {

constexpr char kDefaultPortName[] = "LPT1";

// Writes the control frame of the exchange state; true when all of it went.
bool WriteControlFrame() {
  if (!MaySendFrame(g_TxFrame)) return false;
  DWORD written = 0;
  return WriteLpt(g_hLpt, g_TxFrame, static_cast<DWORD>(g_nTxLen), &written) == 1 &&
         written == static_cast<DWORD>(g_nTxLen);
}

unsigned ClosePortAndEnd(unsigned result) {
  CloseLpt(g_hLpt);
  return EndProcedure(result);
}

// Sends packet index; reports it and updates progress. False after a failure
// (its line sent).
bool SendPacket(const LoadedImage &image, uint32_t index, uint32_t full, int &progress) {
  ResetExchange();
  SetDataFrameHead();
  if (!CutPacket(image, index, timing::kLptPacketSize) || LptSendDataFrame() != 1) {
    SendUpgradeStatus(StatusId::kLptSendFailed, progress);
    return false;
  }
  progress = index == full ? 100 : PacketProgress(index, full);
  SendUpgradeStatus({StatusId::kPacketSentFormat, index + 1}, progress);
  return true;
}

}  // namespace

bool LptSwitchToBoot(int mode) {
  SendUpgradeStatus(StatusId::kPreparingBoot, 0);
  PauseUnlessStopped(timing::kBeforeControlFrameMs);
  ResetExchange();
  BuildControlFrame(CMD_ENTER_BOOT);
  const bool sent = WriteControlFrame();
  if (!sent) {
    SendUpgradeStatus(StatusId::kLptNoReplyExit, 0);
  } else if (mode == 0) {
    SendUpgradeStatus(StatusId::kBootEntered, 100);
  } else {
    SendUpgradeStatus(StatusId::kLptPacketInfo, 100);
    g_nPacketSize = timing::kLptPacketSize;
  }
  ResetExchange();
  return sent;
}

bool LptCheckVersion() {
  PrepareVersionCheck(StatusId::kLptCheckingVersion);
  const bool sent = WriteControlFrame();
  SendUpgradeStatus(sent ? StatusId::kLptVersionChecked : StatusId::kLptNoReplyExit, sent ? 100 : 20);
  ResetExchange();
  return sent;
}

bool LptEraseFlash() {
  PrepareErase();
  const bool sent = WriteControlFrame();
  SendUpgradeStatus(sent ? StatusId::kLptEraseDone : StatusId::kLptNoReplyExit, sent ? 299 : 240);
  ResetExchange();
  return sent;
}

int LptSendDataFrame() {
  uint8_t frame[kDataFrameBufferSize];
  const DataFrameBuild built = BuildDataFrame(frame);
  if (!built) return 0;
  static constexpr uint8_t kLeadingZeros[2] = {0, 0};
  const DWORD length = static_cast<DWORD>(built.length);
  const DWORD t0 = GetTickCount();
  for (;;) {
    if (!MaySendFrame(frame)) return 0;
    const DWORD t = GetTickCount();
    DWORD written = 0;
    WriteLpt(g_hLpt, kLeadingZeros, sizeof kLeadingZeros, &written);
    written = 0;
    // A write cut short by the port's time-out did not deliver the frame.
    const int result = WriteLpt(g_hLpt, frame, length, &written);
    const bool sent = result == 1 && written == length;
    if (sent || t - t0 > timing::kReplyWindowMs) return sent ? 1 : 0;
    // Writes that run into their time-outs pace the attempts themselves
    // (two of them fill the window); writes that fail at once must not spin.
    if (GetTickCount() - t < timing::kRetryPauseMs) Sleep(timing::kRetryPauseMs);
  }
}

unsigned LptUpgradeProc(void *param) {
  g_bUpgrading = 1;
  LoadedImage loaded;
  const LoadedImage *image = UpgradeImage(param, loaded);
  if (image == nullptr) return EndProcedure(kUpgradeFailed);

  const std::string portName = g_strLptPort.IsEmpty() ? kDefaultPortName : g_strLptPort.Get();
  g_hLpt = OpenLptA(portName.c_str());
  if (g_hLpt == INVALID_HANDLE_VALUE) {
    UpgradeMessageBox(StatusId::kBoxPortOpenFailed);
    return EndProcedure(kUpgradeFailed);
  }
  auto abandon = [] {
    ResetExchange();
    return ClosePortAndEnd(kUpgradeFailed);
  };
  if (!LptSwitchToBoot(0) || !PauseUnlessStopped(timing::kLptBetweenBootSwitchesMs)) return abandon();
  if (!LptSwitchToBoot(1)) return abandon();
  DescrambleImageHeader(*image);
  if (!LptCheckVersion() || !PauseUnlessStopped(timing::kAfterVersionCheckMs)) return abandon();
  if (!LptEraseFlash()) return abandon();

  const uint32_t full = FullPacketCount(image->size, timing::kLptPacketSize);
  const uint32_t count = PacketCount(image->size, timing::kLptPacketSize);
  int progress = 0;
  for (uint32_t index = 0; index < count; ++index) {
    if (!SendPacket(*image, index, full, progress)) return ClosePortAndEnd(kUpgradeFailed);
  }

  ResetExchange();
  BuildControlFrame(CMD_FINISH);
  const bool sent = WriteControlFrame();
  if (sent) {
    SendUpgradeStatus(StatusId::kUpgradeDone, 200);
    Sleep(timing::kBeforeCompletionBoxMs);
    UpgradeMessageBox(StatusId::kBoxLptUpgradeComplete);
  } else {
    SendUpgradeStatus(StatusId::kLptUpgradeFailed, 200);
  }
  ResetExchange();
  return ClosePortAndEnd(sent ? kUpgradeCompleted : kUpgradeFailed);
}
