// The serial upgrade procedure: detection, boot switch, a pause with the port
// closed, detection again, boot switch, version check, erase, the packets,
// finish.
#include "serial_upgrade.h"

#include "app_values.h"
#include "baud_detection.h"
#include "exchange.h"
#include "frame.h"
#include "image.h"
#include "procedure_timing.h"
#include "procedures.h"
#include "status_report.h"
#include "upgrade_steps.h"
#include "upgrade_stop.h"
#include "upgrade_texts.h"

using namespace velloran;

namespace {

constexpr DWORD kDataReplyLength = 9;
// Options added once the first detection has found the printer: buffered
// writes, the receive buffer and a flush at close, and (at the next open)
// the read thread.
constexpr DWORD kUpgradeOptions = CComPort::EN_OVERLAPPED | CComPort::EN_RX_BUFFER |
                                  CComPort::EN_TX_BUFFER | CComPort::EN_RX_THREAD |
                                  CComPort::EN_FLUSH;  // 0x11E
constexpr DWORD kSecondOpenOptions = kUpgradeOptions & ~CComPort::EN_OVERLAPPED;  // 0x11C

DWORD ComPortNumber() { return static_cast<DWORD>(g_nComPort.load()); }

void OpenAtDetectedRate(CComPort &port) {
  port.Open(ComPortNumber());
  port.SetState(static_cast<DWORD>(g_nBaudRate.load()), NOPARITY, 8, ONESTOPBIT);
}

// The end of every control step.
bool EndControlStep(bool result) {
  ResetExchange();
  g_ComPort.Flush();
  return result;
}

}  // namespace

bool ComExchange() {
  CComPort &port = g_ComPort;
  if (g_nRxLen <= 0 || g_nRxLen > kMaxReplyLength) return false;
  const DWORD wanted = static_cast<DWORD>(g_nRxLen);
  if (!MaySendFrame(g_TxFrame)) return false;
  port.WritePort(g_TxFrame, static_cast<DWORD>(g_nTxLen));
  const DWORD t0 = GetTickCount();
  DWORD got = 0;
  for (;;) {
    const DWORD t = GetTickCount();
    // Each read fills the reply from its start: it must come whole.
    got = port.Read(g_RxFrame, wanted, INFINITE);
    if (got == wanted || t - t0 > timing::kReplyWindowMs) break;
  }
  if (got != wanted) return false;
  g_bRxReady = 1;
  return true;
}

void ComSendDataFrame() {
  CComPort &port = g_ComPort;
  uint8_t frame[kDataFrameBufferSize];
  const DataFrameBuild built = BuildDataFrame(frame);
  if (built && MaySendFrame(frame)) {
    port.WritePort(frame, static_cast<DWORD>(built.length));
    Sleep(timing::kSerialAfterDataFrameMs);
    const DWORD t0 = GetTickCount();
    DWORD received = 0;
    // Returns once the frame has left; the reply window already runs.
    port.Flush();
    for (;;) {
      const DWORD t = GetTickCount();
      Sleep(timing::kSerialBeforeReplyReadMs);
      const DWORD got = port.Read(g_RxFrame + received, kDataReplyLength - received, INFINITE);
      if (got != 0 && got != kDataReplyLength) Sleep(10);
      received += got;
      if (received >= kDataReplyLength || t - t0 > timing::kReplyWindowMs) break;
    }
    if (received == kDataReplyLength) g_bRxReady = 1;
  }
  port.Flush();
  port.ResetCounters();
  g_nRxLen = 0;
}

bool ComSwitchToBoot(BootSwitch which) {
  SendUpgradeStatus(StatusId::kPreparingBoot, 0);
  PauseUnlessStopped(timing::kBeforeControlFrameMs);
  ResetExchange();
  BuildControlFrame(CMD_ENTER_BOOT);
  ComExchange();
  const bool unusableSize = which == BootSwitch::kSecond && BootReplyAnnouncesUnusableSize();
  const bool ok = EndControlStep(ReportBootSwitch(which));
  // No data frame could carry the announced packet size: the link is
  // closed, not left open for a next attempt.
  if (unusableSize) g_ComPort.Close(timing::kPortCloseWaitMs);
  return ok;
}

bool ComCheckVersion() {
  PrepareVersionCheck(StatusId::kGettingVersion);
  ComExchange();
  return EndControlStep(ReportControlStep(ControlStep::kCheckVersion));
}

bool ComEraseFlash() {
  PrepareErase();
  ComExchange();
  return EndControlStep(ReportControlStep(ControlStep::kEraseFlash));
}

unsigned ComUpgradeProc(void *param) {
  g_bUpgrading = 1;
  LoadedImage loaded;
  const LoadedImage *image = UpgradeImage(param, loaded);
  if (image == nullptr) return EndProcedure(kUpgradeFailed);
  CComPort &port = g_ComPort;

  // A failed control step leaves the port open; the next detection closes
  // it. A stop closes it at once.
  auto abandon = [&] {
    ResetExchange();
    if (UpgradeStopRequested()) port.Close(timing::kPortCloseWaitMs);
    return EndProcedure(kUpgradeFailed);
  };
  if (!ComDetectBaudRate(ComPortNumber())) return EndProcedure(kUpgradeFailed);
  OpenAtDetectedRate(port);
  port.SetOption(port.GetOption() | kUpgradeOptions);
  if (!ComSwitchToBoot(BootSwitch::kFirst)) return abandon();
  port.Close(timing::kPortCloseWaitMs);
  if (!PauseUnlessStopped(timing::kAfterFirstBootSwitchMs)) return abandon();

  if (!ComDetectBaudRate(ComPortNumber())) return EndProcedure(kUpgradeFailed);
  port.SetOption(port.GetOption() | kSecondOpenOptions);
  OpenAtDetectedRate(port);
  if (!ComSwitchToBoot(BootSwitch::kSecond)) return abandon();
  DescrambleImageHeader(*image);
  if (!ComCheckVersion() || !PauseUnlessStopped(timing::kAfterVersionCheckMs)) return abandon();
  if (!ComEraseFlash() || !PauseUnlessStopped(timing::kSerialAfterEraseMs)) return abandon();

  bool completed = false;
  if (SendImagePackets(*image, PacketLink{timing::kSerialBeforeDataFrameMs, ComSendDataFrame})) {
    ResetExchange();
    BuildControlFrame(CMD_FINISH);
    ComExchange();
    completed = ReportFinish();
  }
  ResetExchange();
  port.Close(timing::kPortCloseWaitMs);
  return EndProcedure(completed ? kUpgradeCompleted : kUpgradeFailed);
}
