// How long an upgrade takes at the least: the pauses that the procedures
// prescribe, plus (serial) the time the bytes need on the line where the
// procedure waits for them. The command-line tool's estimate and the
// benchmark's floor.
#pragma once

#include <cstdint>

namespace velloran {

struct UpgradeTime {
  double pausesMs = 0;  // sleeps and reply windows that nothing can shorten
  double wireMs = 0;    // bytes on the line that the procedure waits for
  double TotalMs() const { return pausesMs + wireMs; }
};

// Time of one byte (start bit, 8 data bits, stop bit) at a baud rate.
double ByteWireMs(uint32_t baud);

// USB: five control exchanges, their pauses, 100 ms before each packet.
UpgradeTime UsbUpgradeTime(uint32_t fileSize, uint32_t packetSize);

// Serial, with the printer at position ratePosition (1 … 6) of the
// detection list and answering at once: both detections try the silent rates
// before it, each for a whole reply window.
UpgradeTime SerialUpgradeTime(uint32_t fileSize, uint32_t packetSize, int ratePosition);

// One detection of the serial procedure finding the printer at ratePosition.
// A silent rate counts two reads of 500 ms: reads are started while less
// than 501 ms have passed, so one started at exactly 500 ms makes it three.
UpgradeTime SerialDetectionTime(int ratePosition);

// Parallel port: the pauses only; the line's speed is the printer's.
UpgradeTime LptUpgradeTime(uint32_t fileSize);

}  // namespace velloran
