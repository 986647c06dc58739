// A printer on the parallel port. The link is write-only: the printer takes
// the frames and never answers. It can stop taking bytes after a number of
// bytes or data packets, like a printer that stays busy; the host's writes
// then block until its write time-out.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "pty_printer.h"

namespace velloran::sim {

struct LptPrinterOptions {
  // Stall once this many bytes were taken (0: take nothing at all).
  std::optional<uint64_t> stallAfterBytes;
  // Stall once this many data packets with a good checksum were taken.
  std::optional<uint32_t> stallAfterPackets;
  BootLoaderConfig model;
};

class LptPrinter : public PtyPrinter {
 public:
  explicit LptPrinter(LptPrinterOptions options = {});
  ~LptPrinter() override;

  bool Stalled() const { return stalled_; }
  // Bytes handed to the boot loader (the rest was never taken).
  uint64_t BytesTaken() const { return taken_; }

 protected:
  bool Prepare(std::string *error) override;
  void OnInput(const uint8_t *data, size_t length, Clock::time_point when) override;
  bool Reading() const override { return !stalled_; }

 private:
  bool StallDue(uint32_t packets) const;
  void Stall();

  const LptPrinterOptions options_;
  std::atomic<bool> stalled_{false};
  std::atomic<uint64_t> taken_{0};
};

}  // namespace velloran::sim
