// Two chores on the test machine's UARTs.
//   velloran-vm-uart irq NODE N          moves an 8250 port to interrupt line N
//                                        (the machine's extra UARTs cannot share
//                                        the line of the console's port)
//   velloran-vm-uart flush COMn BAUD BYTES
//                                        writes BYTES bytes through CComPort at
//                                        BAUD, flushes, and says how long the
//                                        flush took and whether the driver's
//                                        queue and the transmitter were empty
//                                        when it returned
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com_port.h"
#include "device_names.h"

namespace {

int MoveIrq(const char *node, int irq) {
  const int fd = open(node, O_RDWR | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    std::perror(node);
    return 1;
  }
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0) {
    std::perror("TIOCGSERIAL");
    return 1;
  }
  info.irq = irq;
  if (ioctl(fd, TIOCSSERIAL, &info) != 0) {
    std::perror("TIOCSSERIAL");
    return 1;
  }
  close(fd);
  return 0;
}

int Flush(unsigned com, unsigned baud, unsigned bytes) {
  CComPort port(CComPort::EN_OVERLAPPED);
  if (!port.Open(com) || !port.SetState(baud, 0, 8, 0)) {
    std::printf("flush: COM%u cannot be opened and set to %u baud\n", com, baud);
    return 1;
  }
  const std::vector<unsigned char> data(bytes, 0x55);
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  const DWORD written = port.WritePort(data.data(), bytes);
  const auto t1 = Clock::now();
  const bool flushed = port.Flush();
  const auto t2 = Clock::now();
  // Root may look at a port that is held exclusively.
  const std::string node = velloran::platform::ComPortNode(com);
  int queued = -1;
  unsigned lsr = 0;
  const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
  if (fd >= 0) {
    ioctl(fd, TIOCOUTQ, &queued);
    ioctl(fd, TIOCSERGETLSR, &lsr);
    close(fd);
  }
  port.Close(500);
  const auto ms = [](Clock::duration d) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
  };
  const long wire = static_cast<long>(bytes) * 10 * 1000 / static_cast<long>(baud);
  std::printf("flush: %u bytes at %u baud (%ld ms on the wire): write returned %lu after %ld ms, "
              "Flush %s after %ld ms; then %d bytes queued, transmitter %s\n",
              bytes, baud, wire, static_cast<unsigned long>(written), ms(t1 - t0),
              flushed ? "succeeded" : "failed", ms(t2 - t1), queued,
              (lsr & TIOCSER_TEMT) ? "empty" : "busy");
  return flushed && queued == 0 && (lsr & TIOCSER_TEMT) ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc == 4 && std::strcmp(argv[1], "irq") == 0) return MoveIrq(argv[2], std::atoi(argv[3]));
  if (argc == 5 && std::strcmp(argv[1], "flush") == 0) {
    const char *name = argv[2];
    if (std::strncmp(name, "COM", 3) == 0) name += 3;
    return Flush(static_cast<unsigned>(std::atoi(name)), static_cast<unsigned>(std::atoi(argv[3])),
                 static_cast<unsigned>(std::atoi(argv[4])));
  }
  std::fprintf(stderr, "usage: velloran-vm-uart irq NODE N | flush COMn BAUD BYTES\n");
  return 2;
}
