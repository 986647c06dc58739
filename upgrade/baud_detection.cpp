// Baud-rate detection on the process-wide serial port.
#include "baud_detection.h"

#include "app_values.h"
#include "crc16.h"
#include "frame.h"
#include "serial_upgrade.h"
#include "procedure_timing.h"
#include "status_report.h"
#include "upgrade_stop.h"
#include "upgrade_texts.h"

using namespace velloran;

namespace {

constexpr DWORD kProbeReplyLength = 9;

// A printer answered at this rate: a whole reply, a good checksum, status 1.
bool ProbeAnswered(const uint8_t *reply, DWORD length) {
  return length == kProbeReplyLength &&
         JudgeReply(CMD_PROBE, reply, kProbeReplyLength) == ReplyOutcome::kSuccess;
}

// The rates in the order they are tried, with their places in the list
// (which give the progress value), the preferred one first.
struct TriedRate {
  DWORD rate;
  int position;
};

int TriedRates(TriedRate (&tried)[7]) {
  int count = 0;
  const DWORD preferred = static_cast<DWORD>(g_nPreferredBaudRate.load());
  for (int i = 0; i < 6; ++i) {
    if (kDetectionRates[i] == preferred) tried[count++] = {preferred, i + 1};
  }
  for (int i = 0; i < 6; ++i) tried[count++] = {kDetectionRates[i], i + 1};
  return count;
}

}  // namespace

std::atomic<int> g_nPreferredBaudRate{0};

bool ComDetectBaudRate(DWORD dwPort) {
  CComPort &port = g_ComPort;
  uint8_t probe[kProbeReplyLength] = {kFrameHead[0], kFrameHead[1], kFrameHead[2], kFrameHead[3],
                                      CMD_PROBE, 0, 0};
  AppendCrc16(probe, 7);
  const uint8_t preamble[16] = {};

  port.Close(timing::kPortCloseWaitMs);
  port.Open(dwPort);
  TriedRate tried[7];
  const int count = TriedRates(tried);
  for (int i = 0; i < count; ++i) {
    const DWORD rate = tried[i].rate;
    const int position = tried[i].position;
    if (!MaySendFrame(probe)) break;
    uint8_t reply[kMaxReplyLength] = {};
    SendUpgradeStatus({StatusId::kTestingBaudFormat, rate}, position * 100 / 7);
    port.SetState(rate, NOPARITY, 8, ONESTOPBIT);
    port.Write(preamble, sizeof preamble);
    port.Flush();
    Sleep(timing::kProbeGapMs);
    port.Write(probe, sizeof probe);
    const DWORD t0 = GetTickCount();
    DWORD got = 0;
    for (;;) {
      const DWORD t = GetTickCount();
      got = port.Read(reply, kProbeReplyLength, INFINITE);
      if (got == kProbeReplyLength || t - t0 >= timing::kProbeWindowMs) break;
    }
    if (ProbeAnswered(reply, got)) {
      SendUpgradeStatus({StatusId::kBaudFoundFormat, rate}, 100);
      g_nBaudRate = static_cast<int>(rate);
      port.Flush();
      return true;
    }
    port.Flush();
  }
  SendUpgradeStatus(StatusId::kNoBaudFound, 100);
  port.Close(timing::kPortCloseWaitMs);
  return false;
}
