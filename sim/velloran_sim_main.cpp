// velloran-sim: a simulated printer boot loader on a pseudo-terminal.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "frame.h"
#include "sim_options.h"

using namespace velloran;
using namespace velloran::sim;

namespace {

std::unique_ptr<PtyPrinter> MakePrinter(const SimOptions &options) {
  switch (options.link) {
    case SimLink::kSerial:
      return std::make_unique<SerialPrinter>(SerialPrinterOptions{
          options.baud, options.wireTime, options.baudAfterBoot, options.model});
    case SimLink::kUsb:
      return std::make_unique<UsbPrinter>(UsbPrinterOptions{
          options.vendorId, options.productId, options.minor, true, options.model, options.usbTree,
          options.portPath, options.serialNumber, options.ieee1284, options.reenumeration});
    case SimLink::kLpt:
      break;
  }
  return std::make_unique<LptPrinter>(
      LptPrinterOptions{options.stallAfterBytes, options.stallAfterPackets, options.model});
}

std::string FrameLine(const ReceivedFrame &frame, bool answers) {
  std::string line = "frame " + std::to_string(frame.step) + ": " + CommandName(frame.command);
  const size_t payload = frame.bytes.size() >= 9 ? frame.bytes.size() - 9 : 0;
  if (frame.command == CMD_VERSION && payload == 2) {
    char version[16];
    std::snprintf(version, sizeof version, " %02X %02X", frame.bytes[7], frame.bytes[8]);
    line += version;
  } else if (payload > 0) {
    line += " " + std::to_string(payload) + " bytes";
  }
  if (!frame.checksumOk) line += " (bad checksum)";
  if (answers) line += frame.answered ? " -> status " + std::to_string(frame.replyStatus) : " (no reply)";
  return line;
}

// Where the printer listens, the environment that leads the tool to it, and
// a command to try.
void PrintWhere(const SimOptions &options, const PtyPrinter &printer) {
  const std::string node = printer.SlavePath();
  std::string environment = "VELLORAN_DEVICE_MAP=LPT1=" + node;
  std::string link = "lpt";
  if (options.link == SimLink::kSerial) {
    std::printf("listening: serial printer on %s at %u baud%s\n", node.c_str(), options.baud,
                options.wireTime ? ", with wire time" : "");
    environment = "VELLORAN_DEVICE_MAP=" + options.comName + "=" + node;
    link = "serial --port " + options.comName;
  } else if (options.link == SimLink::kUsb) {
    const auto &usb = static_cast<const UsbPrinter &>(printer);
    std::printf("listening: USB printer %04x:%04x as %s (%s)\n", options.vendorId, options.productId,
                usb.NodePath().c_str(), node.c_str());
    environment = "VELLORAN_SYSFS_ROOT=" + usb.SysfsRoot().string() + " VELLORAN_DEV_ROOT=" + usb.DevRoot().string();
    link = "usb";
  } else {
    std::printf("listening: parallel-port printer on %s\n", node.c_str());
  }
  std::printf("environment: %s\n", environment.c_str());
  std::printf("try: %s velloran-cli upgrade --link %s IMAGE\n", environment.c_str(), link.c_str());
}

}  // namespace

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::string error;
  const auto options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "velloran-sim: %s\nTry velloran-sim --help.\n", error.c_str());
    return 2;
  }
  if (!options->helpOrVersion.empty()) {
    std::fputs(options->helpOrVersion.c_str(), stdout);
    return 0;
  }

  // The signals are taken by sigtimedwait below; the printer's thread must
  // not receive them. SIGHUP: the terminal that runs the simulator closed.
  // A reader of the output that goes away must not end it before the USB
  // tree is removed either.
  sigset_t signals;
  sigemptyset(&signals);
  for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, stop);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<PtyPrinter> printer = MakePrinter(*options);
  printer->WithModel([&](BootLoaderModel &model) { ApplyFaults(*options, model); });
  const bool answers = options->link != SimLink::kLpt;
  std::atomic<bool> finished{false};
  printer->SetFrameListener([&](const ReceivedFrame &frame) {
    std::printf("%s\n", FrameLine(frame, answers).c_str());
    if (frame.command == CMD_FINISH && frame.checksumOk && (!answers || frame.replyStatus == ST_OK)) finished = true;
  });
  printer->SetNoticeListener([](const std::string &text) { std::printf("note: %s\n", text.c_str()); });
  if (!printer->Start(&error)) {
    std::fprintf(stderr, "velloran-sim: %s\n", error.c_str());
    return 1;
  }
  PrintWhere(*options, *printer);

  const timespec tick{0, 100'000'000};
  for (;;) {
    const int signal = sigtimedwait(&signals, nullptr, &tick);
    if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP) {
      std::printf("stopping on %s\n", signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
      break;
    }
    if (options->exitAfterFinish && finished) {
      // Let the tool read the last reply before the port goes away.
      printer->WaitUntilDelivered(std::chrono::seconds(2));
      std::printf("upgrade finished\n");
      break;
    }
  }
  printer->Stop();

  const size_t flashed = printer->FlashedImage().size();
  if (!options->imageOut.empty()) {
    if (!printer->WriteFlashedImage(options->imageOut, &error)) {
      std::fprintf(stderr, "velloran-sim: %s\n", error.c_str());
      return 1;
    }
    std::printf("flashed image: %zu bytes written to %s\n", flashed, options->imageOut.c_str());
  } else {
    std::printf("flashed image: %zu bytes\n", flashed);
  }
  return 0;
}
