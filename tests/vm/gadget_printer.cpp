// The printer's end of a USB printer gadget: serves the boot-loader model on
// the gadget node (/dev/g_printer0), whose reads bring what the host wrote to
// the printer and whose writes reach the host's usblp reads. Runs inside the
// test machine; can stay silent, or unplug itself (unbind the gadget) after a
// number of packets, to show the host's side of those failures.
//
// usage: velloran-vm-gadget-printer NODE [--silent] [--unplug-after N UDC_FILE]
//          [--image-out FILE] [--exit-after-finish] [--ready FILE]
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "boot_loader_model.h"
#include "frame.h"

using namespace velloran;

namespace {

struct Options {
  std::string node;
  bool silent = false;
  unsigned unplugAfter = 0;  // 0: never
  std::string udcFile;
  long replugAfterMs = -1;  // -1: never
  std::string controller;
  std::string imageOut;
  bool exitAfterFinish = false;
  std::string ready;
};

bool Parse(int argc, char **argv, Options *o) {
  if (argc < 2) return false;
  o->node = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--silent") o->silent = true;
    else if (a == "--exit-after-finish") o->exitAfterFinish = true;
    else if (a == "--unplug-after" && i + 2 < argc) {
      o->unplugAfter = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
      o->udcFile = argv[++i];
    } else if (a == "--replug-after-boot" && i + 3 < argc) {
      o->replugAfterMs = std::strtol(argv[++i], nullptr, 10);
      o->udcFile = argv[++i];
      o->controller = argv[++i];
    } else if (a == "--image-out" && i + 1 < argc) o->imageOut = argv[++i];
    else if (a == "--ready" && i + 1 < argc) o->ready = argv[++i];
    else return false;
  }
  return true;
}

bool WriteAll(int fd, const uint8_t *data, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Unbinding the gadget from its controller is what the host sees as the
// printer's cable pulled out.
void Unplug(const std::string &udcFile) {
  std::ofstream udc(udcFile);
  udc << "\n";
}

long long BootTimeMs() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Leaves the bus once the host has had time to take the boot reply and
// close the node, and binds the gadget again after ms. The gadget node is
// closed before the new binding: the kernel's printer function does not
// survive a node held open across an unbind and a bind.
void Replug(const Options &o, int fd) {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Unplug(o.udcFile);
  close(fd);
  std::printf("gadget printer: left the bus at %lld ms\n", BootTimeMs());
  std::this_thread::sleep_for(std::chrono::milliseconds(o.replugAfterMs));
  std::ofstream(o.udcFile) << o.controller << "\n";
  std::printf("gadget printer: back on the bus at %lld ms\n", BootTimeMs());
}

void SaveImage(const Options &o, const BootLoaderModel &model) {
  if (o.imageOut.empty()) return;
  std::ofstream out(o.imageOut, std::ios::binary | std::ios::trunc);
  const auto &image = model.FlashedImage();
  out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: velloran-vm-gadget-printer NODE [--silent] [--unplug-after N UDC_FILE]\n"
                 "         [--replug-after-boot MS UDC_FILE CONTROLLER]\n"
                 "         [--image-out FILE] [--exit-after-finish] [--ready FILE]\n");
    return 2;
  }
  const int fd = open(o.node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "gadget printer: %s: %s\n", o.node.c_str(), std::strerror(errno));
    return 1;
  }
  if (!o.ready.empty()) std::ofstream(o.ready) << getpid() << "\n";

  BootLoaderModel model;
  size_t reported = 0;
  uint8_t buffer[4096];
  int status = 0;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 1000);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      // The gadget was unbound: the host is gone.
      std::printf("gadget printer: node closed (%s)\n", n < 0 ? std::strerror(errno) : "end");
      break;
    }
    const auto replies = model.Feed(buffer, static_cast<size_t>(n));
    for (; reported < model.Frames().size(); ++reported) {
      const ReceivedFrame &f = model.Frames()[reported];
      std::printf("frame %u: command %u%s\n", f.step, f.command, f.checksumOk ? "" : " (bad checksum)");
    }
    if (o.unplugAfter != 0 && model.Counters().packetsStored >= o.unplugAfter) {
      Unplug(o.udcFile);
      std::printf("gadget printer: unplugged at %lld ms, after %u packets\n", BootTimeMs(),
                  model.Counters().packetsStored);
      break;
    }
    if (o.silent) continue;
    for (const ModelReply &reply : replies) {
      if (reply.delay.count() > 0) std::this_thread::sleep_for(reply.delay);
      if (!WriteAll(fd, reply.bytes.data(), reply.bytes.size())) {
        std::printf("gadget printer: reply not delivered (%s)\n", std::strerror(errno));
        status = 1;
      }
    }
    if (o.replugAfterMs >= 0 && !replies.empty() && model.Frames().back().command == CMD_ENTER_BOOT) {
      Replug(o, fd);
      return 0;
    }
    if (o.exitAfterFinish && model.Finished()) {
      // Let the host take the last reply before the node goes away.
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      break;
    }
  }
  std::printf("gadget printer: %u packets stored, %zu image bytes\n", model.Counters().packetsStored,
              model.FlashedImage().size());
  SaveImage(o, model);
  close(fd);
  return status;
}
