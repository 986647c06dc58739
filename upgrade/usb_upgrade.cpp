// The USB upgrade procedure: boot switch, version check, second boot switch,
// erase, the packets 100 ms apart, finish.
#include "usb_upgrade.h"

#include <algorithm>
#include <cstring>

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

HANDLE g_hUsb = INVALID_HANDLE_VALUE;

namespace {

bool OpenPortIfClosed() {
  if (g_hUsb == INVALID_HANDLE_VALUE) g_hUsb = OpenUsb();
  return g_hUsb != INVALID_HANDLE_VALUE;
}

// Opens the port when it is closed; says so in a box when that fails.
bool OpenPortOrTell() {
  if (OpenPortIfClosed()) return true;
  UpgradeMessageBox(StatusId::kBoxOpenUsbFailed);
  return false;
}

// Closes the port; returns CloseUsb's result.
int ClosePort() {
  const int closed = CloseUsb(g_hUsb);
  g_hUsb = INVALID_HANDLE_VALUE;
  return closed;
}

// The end of the version check and the erase: they report a failed close.
bool EndReportingStep(bool result) {
  ResetExchange();
  if (ClosePort() == 0) UpgradeMessageBox(StatusId::kBoxCloseUsbFailed);
  return result;
}

bool Elapsed(DWORD t0) { return GetTickCount() - t0 > timing::kReplyWindowMs; }

// Reads up to length bytes, repeating reads that bring nothing (the
// transport bounds each read) until something comes or the window is over.
// Returns the count read.
DWORD ReadSomething(uint8_t *buffer, DWORD length, DWORD t0) {
  for (;;) {
    DWORD got = 0;
    const int result = ReadUsb(g_hUsb, buffer, length, &got);
    if (result == 1 && got > 0) return std::min(got, length);
    if (Elapsed(t0)) return 0;
    if (result != 1) Sleep(timing::kRetryPauseMs);
  }
}

}  // namespace

void UsbExchange() {
  if (g_hUsb == INVALID_HANDLE_VALUE) return;
  if (g_nRxLen <= 0 || g_nRxLen > kMaxReplyLength) return;
  if (!MaySendFrame(g_TxFrame)) return;
  DWORD written = 0;
  if (WriteUsb(g_hUsb, g_TxFrame, static_cast<DWORD>(g_nTxLen), &written) == 0) {
    UpgradeMessageBox(StatusId::kBoxWriteFailed);
    return;
  }
  const DWORD t0 = GetTickCount();
  int received = 0;
  uint8_t scratch[kMaxReplyLength];
  for (;;) {
    if (Elapsed(t0)) return;
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(g_nRxLen - received);
    if (ReadUsb(g_hUsb, scratch, wanted, &got) == 1) {
      got = std::min(got, wanted);
      std::memcpy(g_RxFrame + received, scratch, got);
      received += static_cast<int>(got);
      if (received == g_nRxLen) {
        g_bRxReady = 1;
        return;
      }
    } else {
      Sleep(timing::kRetryPauseMs);
    }
  }
}

void UsbSendDataFrame() {
  if (g_hUsb == INVALID_HANDLE_VALUE) {
    UpgradeMessageBox(StatusId::kBoxDataOpenUsbFailed);
    return;
  }
  uint8_t frame[kDataFrameBufferSize];
  const DataFrameBuild built = BuildDataFrame(frame);
  if (!built) return;  // counts as no reply
  if (!MaySendFrame(frame)) return;
  DWORD written = 0;
  if (WriteUsb(g_hUsb, frame, static_cast<DWORD>(built.length), &written) == 0) {
    UpgradeMessageBox(StatusId::kBoxDataWriteFailed);
    return;
  }
  ResetExchange();
  constexpr DWORD kReply = 9;
  const DWORD t0 = GetTickCount();
  const DWORD first = ReadSomething(g_RxFrame, kReply, t0);
  // The window is judged after the read, even when it brought everything.
  if (Elapsed(t0) || first == 0) return;
  if (first < kReply) {
    // The reply came in pieces: one more read for the rest, placed at the
    // end of the reply. A reply still short fails the checksum test.
    uint8_t rest[kReply] = {};
    const DWORD more = ReadSomething(rest, kReply - first, t0);
    std::memcpy(g_RxFrame + (kReply - more), rest, more);
  }
  g_bRxReady = 1;
}

bool UsbSwitchToBoot(BootSwitch which) {
  SendUpgradeStatus(StatusId::kPreparingBoot, 0);
  if (!OpenPortOrTell()) {
    SendUpgradeStatus(StatusId::kExit, 0);
    return false;
  }
  PauseUnlessStopped(timing::kBeforeControlFrameMs);
  ResetExchange();
  BuildControlFrame(CMD_ENTER_BOOT);
  UsbExchange();
  const bool ok = ReportBootSwitch(which);
  ResetExchange();
  ClosePort();
  return ok;
}

bool UsbCheckVersion() {
  if (!OpenPortOrTell()) return false;
  PrepareVersionCheck(StatusId::kGettingVersion);
  UsbExchange();
  return EndReportingStep(ReportControlStep(ControlStep::kCheckVersion));
}

bool UsbEraseFlash() {
  if (!OpenPortOrTell()) return false;
  PrepareErase();
  UsbExchange();
  return EndReportingStep(ReportControlStep(ControlStep::kEraseFlash));
}

unsigned UsbUpgradeProc(void *param) {
  g_bUpgrading = 1;
  LoadedImage loaded;
  const LoadedImage *image = UpgradeImage(param, loaded);
  if (image == nullptr) return EndProcedure(kUpgradeFailed);

  auto abandon = [] {
    ResetExchange();
    return EndProcedure(kUpgradeFailed);
  };
  if (!UsbSwitchToBoot(BootSwitch::kFirst) || !PauseUnlessStopped(timing::kAfterFirstBootSwitchMs)) return abandon();
  DescrambleImageHeader(*image);
  if (!UsbCheckVersion() || !PauseUnlessStopped(timing::kAfterVersionCheckMs)) return abandon();
  if (!UsbSwitchToBoot(BootSwitch::kSecond)) return abandon();
  if (!UsbEraseFlash() || !PauseUnlessStopped(timing::kUsbAfterEraseMs)) return abandon();

  if (!OpenPortOrTell()) return EndProcedure(kUpgradeFailed);
  bool completed = false;
  if (SendImagePackets(*image, PacketLink{timing::kUsbBeforeDataFrameMs, UsbSendDataFrame})) {
    ResetExchange();
    BuildControlFrame(CMD_FINISH);
    UsbExchange();
    completed = ReportFinish();
  }
  ResetExchange();
  ClosePort();
  return EndProcedure(completed ? kUpgradeCompleted : kUpgradeFailed);
}
