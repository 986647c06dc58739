// A printer on a serial line. It hears the host only while the host's line
// speed (the slave's termios, as the master sees it) is the printer's own:
// bytes sent at another rate are garbage to a real UART and are ignored, and
// so is a reply that goes out after the host changed its rate.
#pragma once

#include <atomic>
#include <optional>

#include "pty_printer.h"
#include "wire_line.h"

namespace velloran::sim {

struct SerialPrinterOptions {
  unsigned baud = 115200;
  // Emulates the time the bytes take on the line in both directions.
  bool wireTime = false;
  // The rate the printer uses once it has entered boot mode.
  std::optional<unsigned> baudAfterBoot{};
  BootLoaderConfig model{};
};

class SerialPrinter : public PtyPrinter {
 public:
  explicit SerialPrinter(SerialPrinterOptions options = {});
  ~SerialPrinter() override;

  // The rate the printer listens at now.
  unsigned BaudRate() const { return baud_; }
  // Bytes ignored because the host's line speed was another.
  uint64_t IgnoredBytes() const { return ignoredBytes_; }

 protected:
  void OnInput(const uint8_t *data, size_t length, Clock::time_point when) override;
  bool Transmit(const uint8_t *data, size_t length) override;

 private:
  void Ignore(size_t length, std::optional<unsigned> hostBaud);
  uint32_t BootEntries() const;

  const SerialPrinterOptions options_;
  std::atomic<unsigned> baud_;
  std::atomic<uint64_t> ignoredBytes_{0};
  WireLine fromHost_;
  WireLine toHost_;
};

}  // namespace velloran::sim
