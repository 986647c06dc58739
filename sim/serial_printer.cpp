#include "serial_printer.h"

namespace velloran::sim {
namespace {

std::string RateText(std::optional<unsigned> baud) {
  return baud ? std::to_string(*baud) : std::string("a non-standard rate");
}

}  // namespace

SerialPrinter::SerialPrinter(SerialPrinterOptions options)
    : PtyPrinter(options.model),
      options_(options),
      baud_(options.baud),
      fromHost_(options.baud),
      toHost_(options.baud) {}

SerialPrinter::~SerialPrinter() { Stop(); }

void SerialPrinter::OnInput(const uint8_t *data, size_t length, Clock::time_point when) {
  // Byte by byte when the line takes time (each reply leaves once the last
  // byte of its frame has crossed) or the rate may change after a frame
  // (the bytes behind it were sent at the old rate).
  const bool byteByByte = options_.wireTime || options_.baudAfterBoot;
  const std::optional<unsigned> hostBaud = Pty().SlaveBaudRate();
  for (size_t used = 0; used < length && !Stopping();) {
    if (hostBaud != baud_.load()) {
      Ignore(length - used, hostBaud);
      break;
    }
    const size_t count = byteByByte ? 1 : length - used;
    const Clock::time_point arrived = options_.wireTime ? fromHost_.Transfer(count, when) : when;
    const uint32_t bootEntries = BootEntries();
    const std::vector<ModelReply> replies = Feed(data + used, count);
    used += count;
    // The printer listens at its new rate at once but still answers the
    // boot switch at the old one.
    const bool switching = options_.baudAfterBoot && *options_.baudAfterBoot != baud_ && BootEntries() != bootEntries;
    if (switching) {
      baud_ = *options_.baudAfterBoot;
      fromHost_.SetBaud(baud_);
    }
    if (!replies.empty()) Answer(replies, arrived);
    if (switching) {
      toHost_.SetBaud(baud_);
      Notice("boot mode entered: now listening at " + std::to_string(baud_.load()) + " baud");
    }
  }
  ReportNewFrames();
}

uint32_t SerialPrinter::BootEntries() const {
  return WithModel([](const BootLoaderModel &m) { return m.Counters().bootEntries; });
}

void SerialPrinter::Ignore(size_t length, std::optional<unsigned> hostBaud) {
  ignoredBytes_ += length;
  // Garbage also spoils a frame that had begun.
  WithModel([](BootLoaderModel &m) { m.DropPartialFrame(); });
  Notice("ignored " + std::to_string(length) + " bytes at " +
         RateText(hostBaud) + " baud (listening at " +
         std::to_string(baud_.load()) + ")");
}

bool SerialPrinter::Transmit(const uint8_t *data, size_t length) {
  // A host that has moved to another rate meanwhile cannot read the reply.
  const std::optional<unsigned> hostBaud = Pty().SlaveBaudRate();
  if (hostBaud != toHost_.Baud()) {
    Notice("lost " + std::to_string(length) + " reply bytes: the host listens at " +
           RateText(hostBaud) + " baud");
    return true;
  }
  if (!options_.wireTime) return Send(data, length);
  // Each byte reaches the host when its last bit has crossed; hand over
  // whatever is due, then wait for the next one.
  const Clock::time_point start = Clock::now();
  std::vector<Clock::time_point> due(length);
  for (size_t i = 0; i < length; ++i) due[i] = toHost_.Transfer(1, start);
  size_t sent = 0;
  while (sent < length) {
    if (!SleepUntil(due[sent])) return false;
    const Clock::time_point now = Clock::now();
    size_t end = sent;
    while (end < length && due[end] <= now) ++end;
    if (!Send(data + sent, end - sent)) return false;
    sent = end;
  }
  return true;
}

}  // namespace velloran::sim
