// What the USB and serial procedures share: judging a reply as the step
// tables give it, the status line of each outcome, the packet phase and the
// finish. Only the link under them differs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "frame.h"
#include "image.h"
#include "upgrade_texts.h"

namespace velloran {

enum class ControlStep { kSwitchToBoot, kCheckVersion, kEraseFlash };

struct StatusLine {
  std::optional<StatusId> id;  // nullopt: no line
  int code;
};

// The line that a control step sends for an outcome.
StatusLine ControlStepLine(ControlStep step, ReplyOutcome outcome);

// Judges the reply that the exchange state holds for a control step and sends
// its status line (100 ms later where the step table says so). A boot switch
// that succeeds takes the packet size from the reply; one that announces a
// size no data frame can carry fails with its own line. Returns success.
bool ReportControlStep(ControlStep step);

// The two boot switches of the USB and serial procedures. The second one
// sets the packet size that the data frames use; the first one's size is
// replaced by it, so only the second one is refused for a size no frame can
// carry.
enum class BootSwitch { kFirst, kSecond };

// ReportControlStep for a boot switch; the first one takes whatever packet
// size its reply announces.
bool ReportBootSwitch(BootSwitch which);

// True when the exchange state holds a boot reply with status 6 whose packet
// size no data frame can carry (0 or above 512).
bool BootReplyAnnouncesUnusableSize();

// The opening of every link's version check: 200 ms, the version frame
// (built without a reset, which would clear the version bytes), the line
// (value 20), 500 ms.
void PrepareVersionCheck(StatusId line);

// The opening of every link's erase: 200 ms, the erase frame, "开始擦除…"
// (220), 500 ms, the line of dots (240).
void PrepareErase();

// Status line of a packet that was stored: "第" number "包数据发送成功！".
std::string PacketSentLine(uint32_t number);

// Progress value after full packet index (from 0) of full packets.
int PacketProgress(uint32_t index, uint32_t full);

// The line of a packet that failed, with the progress value reached so far.
StatusLine PacketFailureLine(ReplyOutcome outcome, bool remainder, int progress);

// The line of the finish frame's outcome (none for no reply).
StatusLine FinishLine(ReplyOutcome outcome);

// A link that sends data frames and collects their 9-byte replies.
struct PacketLink {
  uint32_t pauseBeforeFrame;  // ms
  void (*sendDataFrame)();    // sends the data frame; sets g_bRxReady
};

// Sends every packet of the image, each after the link's pause, and reports
// each outcome. Returns false after the first failure (its line sent).
bool SendImagePackets(const LoadedImage &image, const PacketLink &link);

// Judges the reply to CMD_FINISH and reports it; on success also waits 100 ms
// and raises the closing message box. Returns whether the upgrade completed.
bool ReportFinish();

// The image a procedure sends. param is the procedure's thread parameter: a
// const ImageLoadResult * that the caller loaded (and described) already, or
// null to load the file named by the process-wide path into own, read once.
// A failed load sends the reason as a status line, raises a message box with
// its cause and gives nullptr.
const LoadedImage *UpgradeImage(void *param, LoadedImage &own);

// Every way out of a procedure: clears g_bUpgrading and gives the result.
unsigned EndProcedure(unsigned result);

}  // namespace velloran
