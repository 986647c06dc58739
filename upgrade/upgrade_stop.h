// A request to stop the running upgrade procedure at its next frame
// boundary: never in the middle of a frame, never cutting off the reply to a
// frame already sent. The procedures look at it before every frame and in
// every pause before a frame, so a 3000 ms pause ends within a few
// milliseconds; then they take their usual failure exit (port closed, busy
// flag cleared).
//
// Once a procedure has honoured the request (a pause cut short, a frame held
// back), the status lines and message boxes that its failure exit would
// raise are not delivered: they would describe a frame that never went out.
// Lines that come before, such as the genuine outcome of an exchange that was
// running when the request came, are delivered as usual.
//
// The front end that asks for stops clears the request before it starts a
// procedure; a front end that never asks is not affected.
#pragma once

#include <cstdint>
#include <functional>

namespace velloran {

// How far the frames of the run have gone, for telling the user what state
// the printer is in after a stop.
enum class UpgradeReach {
  kNothingSent,  // no frame, or only baud-rate probes
  kBootMode,     // boot switch or version check: the firmware is unchanged
  kFlash,        // the erase (or a later frame) went out: the flash is erased or partly written
};

// Asks the running (or next) procedure to stop. Any thread, not a signal
// handler.
void RequestUpgradeStop();
bool UpgradeStopRequested();

// Asks for a stop only if the erase has not gone out yet, and tells whether
// it did. A stop that no one chose (a terminal gone, an output closed) must
// not leave a printer with its flash half written when finishing would
// have saved it. Decided under the same lock as MaySendFrame, so the erase
// either goes out before the request and the run goes on, or not at all.
// granted runs, under that lock, before the request can end the procedure,
// so that the caller's note of why is there before anyone sees the stop.
bool RequestUpgradeStopBeforeErase(const std::function<void()> &granted = {});

// Forgets an earlier request and what the last run sent.
void ResetUpgradeStop();

// The procedures' pause: waits ms, or less when a stop is requested. True
// when the whole pause passed.
bool PauseUnlessStopped(uint32_t ms);

// Called by a link right before it writes a frame (frame: its first bytes,
// the command at offset 4). False once a stop is requested: the frame must
// not be written. Otherwise notes how far the run has gone.
bool MaySendFrame(const uint8_t *frame);

// True once a procedure has honoured a stop request.
bool UpgradeStopHonoured();

// The furthest frame of the run so far.
UpgradeReach ReachedSoFar();

}  // namespace velloran
