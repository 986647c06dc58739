// Upgrade time and CPU cost against the protocol's floor: a 64 KiB image
// over the serial link (the simulated printer at 115200 baud, with wire time)
// and over USB. The floor is the sum of the pauses that the procedure
// prescribes plus the time the bytes need on the line where the procedure
// waits for them (upgrade_schedule.h).
//
// The simulated printer runs in this process, so the CPU share printed is
// that of the tool and the simulator together: an upper bound for the tool.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app_values.h"
#include "child_process.h"
#include "exchange.h"
#include "fleet_bench.h"
#include "image.h"
#include "procedures.h"
#include "serial_printer.h"
#include "status_meaning.h"
#include "status_report.h"
#include "upgrade_progress.h"
#include "upgrade_schedule.h"
#include "usb_printer.h"

namespace {

using namespace velloran;
constexpr uint32_t kPacketSize = 512;
constexpr int kComPort = 7;

using Clock = std::chrono::steady_clock;

// Notes when each baud-rate detection starts and ends, and where the
// command-line tool's time left puts the end at each line; prints nothing,
// so the terminal costs nothing.
class QuietWindow : public UpgradeWindow {
 public:
  QuietWindow(cli::Link link, uint32_t size) : progress_(link, size), start_(Clock::now()) {}
  void OnUpgradeStatus(std::string *text, int, const StatusMeaning &meaning) override {
    const std::unique_ptr<std::string> line(text);
    const auto now = Clock::now();
    const double elapsed = std::chrono::duration<double, std::milli>(now - start_).count();
    if (meaning.status == StatusId::kBootEntered) progress_.SetPacketSize(g_nPacketSize);
    progress_.OnStatus(meaning, elapsed);
    if (meaning.status == StatusId::kBaudFoundFormat) rateKnown_ = true;
    predictedEnds.push_back({rateKnown_, elapsed + progress_.RemainingMs(elapsed)});
    if (meaning.status == StatusId::kTestingBaudFormat && !inDetection_) {
      inDetection_ = true;
      detectionStart_ = now;
    } else if (meaning.status == StatusId::kBaudFoundFormat && inDetection_) {
      inDetection_ = false;
      detectionMs += std::chrono::duration<double, std::milli>(now - detectionStart_).count();
    }
  }
  void ShowMessageBox(const std::string &, const StatusMeaning &) override {}
  double detectionMs = 0;  // in all detections that found the printer
  // At each line: whether the serial rate was known, and the end predicted.
  std::vector<std::pair<bool, double>> predictedEnds;
  double firstEstimateMs() const { return firstEstimateMs_; }

 private:
  cli::UpgradeProgress progress_;
  const Clock::time_point start_;
  const double firstEstimateMs_ = progress_.ExpectedTotalMs();
  bool rateKnown_ = false;
  bool inDetection_ = false;
  Clock::time_point detectionStart_;
};

struct Measurement {
  bool completed = false;
  double wallMs = 0;
  double cpuMs = 0;
  double detectionMs = 0;
  double firstEstimateMs = 0;
  double worstKnownRateError = 0;  // of the predicted end, once the rate is known
};

Measurement Measure(unsigned (*procedure)(void *), cli::Link link, uint32_t size) {
  QuietWindow window(link, size);
  SetUpgradeWindow(&window);
  const auto wallStart = Clock::now();
  const std::clock_t cpuStart = std::clock();
  Measurement m;
  m.completed = procedure(nullptr) == kUpgradeCompleted;
  m.cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  m.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - wallStart).count();
  m.detectionMs = window.detectionMs;
  m.firstEstimateMs = window.firstEstimateMs();
  for (const auto &[rateKnown, end] : window.predictedEnds) {
    if (rateKnown || link != cli::Link::kSerial) {
      m.worstKnownRateError = std::max(m.worstKnownRateError, std::abs(end - m.wallMs) / m.wallMs);
    }
  }
  SetUpgradeWindow(nullptr);
  return m;
}

void Report(const char *link, const Measurement &m, const UpgradeTime &floor) {
  std::printf("%-7s %-9s %9.3f s %9.3f s (pauses %.3f s + wire %.3f s)  ratio %.4f  cpu %.2f %%\n", link,
              m.completed ? "completed" : "FAILED", m.wallMs / 1000, floor.TotalMs() / 1000,
              floor.pausesMs / 1000, floor.wireMs / 1000, m.wallMs / floor.TotalMs(),
              100.0 * m.cpuMs / m.wallMs);
  std::printf("        time left: the end predicted at each line off by at most %.1f %%%s; the first "
              "estimate %.3f s (%+.1f %%)\n",
              100 * m.worstKnownRateError, std::string(link) == "serial" ? " once the rate is found" : "",
              m.firstEstimateMs / 1000, 100 * (m.firstEstimateMs - m.wallMs) / m.wallMs);
}

std::string WriteImage(uint32_t size) {
  const std::string path = "velloran-bench-image.upd";
  std::vector<unsigned char> bytes(size);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + 7);
  std::FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::fprintf(stderr, "velloran-bench: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(file);
  return path;
}

int BenchSerial(uint32_t size) {
  sim::SerialPrinter printer({.baud = 115200, .wireTime = true});
  std::string error;
  if (!printer.Start(&error)) {
    std::fprintf(stderr, "velloran-bench: serial printer: %s\n", error.c_str());
    return 1;
  }
  ::setenv("VELLORAN_DEVICE_MAP", ("COM" + std::to_string(kComPort) + "=" + printer.SlavePath()).c_str(), 1);
  g_nComPort = kComPort;
  g_nBaudRate = 4800;
  const Measurement m = Measure(ComUpgradeProc, cli::Link::kSerial, size);
  const UpgradeTime floor = SerialUpgradeTime(size, kPacketSize, 6);
  Report("serial", m, floor);
  // Whether a silent detection rate takes two reads or three depends on a
  // 1-ms boundary of its window; apart from the two detections:
  const double detectionFloorMs = 2 * SerialDetectionTime(6).TotalMs();
  std::printf("        detections %.3f s (floor %.3f s); the rest %.3f s (floor %.3f s), ratio %.4f\n",
              m.detectionMs / 1000, detectionFloorMs / 1000, (m.wallMs - m.detectionMs) / 1000,
              (floor.TotalMs() - detectionFloorMs) / 1000,
              (m.wallMs - m.detectionMs) / (floor.TotalMs() - detectionFloorMs));
  printer.Stop();
  return m.completed ? 0 : 1;
}

int BenchUsb(uint32_t size) {
  sim::UsbPrinter printer;
  std::string error;
  if (!printer.Start(&error)) {
    std::fprintf(stderr, "velloran-bench: USB printer: %s\n", error.c_str());
    return 1;
  }
  ::setenv("VELLORAN_SYSFS_ROOT", printer.SysfsRoot().c_str(), 1);
  ::setenv("VELLORAN_DEV_ROOT", printer.DevRoot().c_str(), 1);
  const Measurement m = Measure(UsbUpgradeProc, cli::Link::kUsb, size);
  Report("usb", m, UsbUpgradeTime(size, kPacketSize));
  printer.Stop();
  return m.completed ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  uint32_t size = 64 * 1024;
  std::string links = "serial,usb,fleet,baud";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) {
      size = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--link" && i + 1 < argc) {
      links = argv[++i];
    } else {
      std::fprintf(stderr, "usage: velloran-bench [--size BYTES] [--link serial,usb,fleet,baud (any of them)]\n");
      return 2;
    }
  }
  if (size < 8) {
    std::fprintf(stderr, "velloran-bench: an image has at least 8 bytes\n");
    return 2;
  }
  g_strImagePath.Set(WriteImage(size));
  std::printf("image of %u bytes, %u packets of %u bytes\n", size, PacketCount(size, kPacketSize), kPacketSize);
  int status = 0;
  if (links.find("serial") != std::string::npos) status |= BenchSerial(size);
  if (links.find("usb") != std::string::npos) status |= BenchUsb(size);
  // The tool as a program: velloran-cli next to this one.
  std::string cli = platform::OwnProgramPath();
  cli = cli.substr(0, cli.find_last_of('/') + 1) + "velloran-cli";
  if (links.find("fleet") != std::string::npos) status |= bench::BenchFleet(g_strImagePath.Get(), cli);
  if (links.find("baud") != std::string::npos) status |= bench::BenchKnownBaud(g_strImagePath.Get(), cli);
  std::remove(g_strImagePath.Get().c_str());
  return status;
}
