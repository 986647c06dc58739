#include "lpt_printer.h"

namespace velloran::sim {

LptPrinter::LptPrinter(LptPrinterOptions options) : PtyPrinter(options.model), options_(options) {}

LptPrinter::~LptPrinter() { Stop(); }

bool LptPrinter::Prepare(std::string *) {
  stalled_ = false;
  taken_ = 0;
  if (StallDue(0)) Stall();
  return true;
}

bool LptPrinter::StallDue(uint32_t packets) const {
  return (options_.stallAfterBytes && taken_ >= *options_.stallAfterBytes) ||
         (options_.stallAfterPackets && packets >= *options_.stallAfterPackets);
}

void LptPrinter::Stall() {
  // Stop the host's output too: without it the pty would swallow some
  // kilobytes more before the host's writes block.
  Pty().SuspendSlaveOutput();
  stalled_ = true;
  Notice("stalled after " + std::to_string(taken_.load()) + " bytes: taking nothing more");
}

void LptPrinter::OnInput(const uint8_t *data, size_t length, Clock::time_point) {
  // Byte by byte, so that the stall comes exactly at its count; the replies
  // the model would send have no wire to go back on.
  for (size_t i = 0; i < length && !stalled_; ++i) {
    Feed(data + i, 1);
    ++taken_;
    if (StallDue(WithModel([](const BootLoaderModel &m) { return m.Counters().packetsReceived; }))) Stall();
  }
  ReportNewFrames();
}

}  // namespace velloran::sim
