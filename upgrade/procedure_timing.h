// The pauses, reply windows and sizes of the three procedures, each named
// once: the procedures wait them, and the schedule (upgrade_schedule.h) adds
// them up for the time an upgrade takes.
#pragma once

#include <cstdint>

namespace velloran::timing {

// Every link.
inline constexpr uint32_t kBeforeControlFrameMs = 200;  // before a boot, version or erase frame
inline constexpr uint32_t kAfterVersionFrameMs = 500;   // between building the version frame and sending it
inline constexpr uint32_t kEraseDotsMs = 500;           // between "开始擦除…" and the line of dots
inline constexpr uint32_t kAfterVersionCheckMs = 1000;  // after a version check that succeeded
inline constexpr uint32_t kBeforeCompletionBoxMs = 100;  // between the finish line and the closing box
inline constexpr uint32_t kReplyWindowMs = 3000;         // for a reply, or (parallel port) for a write
// A transfer that failed at once is tried again after this pause, so that a
// vanished device does not spin the processor for the whole window.
inline constexpr uint32_t kRetryPauseMs = 10;

// USB and serial: the pause before a success line of the version check or
// the erase (and before a refused version).
inline constexpr uint32_t kBeforeVerdictMs = 100;
// After the first boot switch, before the version check.
inline constexpr uint32_t kAfterFirstBootSwitchMs = 3000;

// USB.
inline constexpr uint32_t kUsbAfterEraseMs = 2000;
inline constexpr uint32_t kUsbBeforeDataFrameMs = 100;

// Serial.
inline constexpr uint32_t kSerialAfterEraseMs = 1000;
inline constexpr uint32_t kSerialBeforeDataFrameMs = 10;
inline constexpr uint32_t kSerialAfterDataFrameMs = 100;  // after writing it, before the flush
inline constexpr uint32_t kSerialBeforeReplyReadMs = 10;  // before each read of a data frame's reply
inline constexpr uint32_t kPortCloseWaitMs = 500;         // what a close waits for the port's threads
// Baud-rate detection: the pause between the preamble and the probe, the
// read time-out of the port, and the window in which reads are started.
inline constexpr uint32_t kProbeGapMs = 10;
inline constexpr uint32_t kSerialReadTimeoutMs = 500;
inline constexpr uint32_t kProbeWindowMs = 501;

// Parallel port.
inline constexpr uint32_t kLptBetweenBootSwitchesMs = 2000;
inline constexpr uint32_t kLptPacketSize = 512;  // fixed: the port cannot hear the printer's size

}  // namespace velloran::timing
