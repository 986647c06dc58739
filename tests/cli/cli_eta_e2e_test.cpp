// The durations that velloran-cli announces, against the end of real
// upgrades of the simulated printers: the expected range on every link (the
// serial printer at the first, a middle and the last detection rate, bytes
// taking their time on the line), and the time left along a serial run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "cli_run.h"
#include "commands.h"
#include "e2e_support.h"
#include "global_com_port.h"
#include "json_output.h"
#include "lpt_printer.h"
#include "serial_printer.h"
#include "usb_printer.h"

namespace velloran::cli {
namespace {

TEST(CliEta, TheTimeLeftTracksTheRealEnd) {
  sim::SerialPrinterOptions options;
  options.baud = 19200;
  options.wireTime = true;
  sim::SerialPrinter printer(options);
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM5=" + printer.SlavePath());
  const e2e::ImageFile image(2000);

  const test::CliRun run = test::RunArgs({"upgrade", "--json", "--link", "serial", "--port", "COM5", image.Path()});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  g_ComPort.Close(500);
  printer.Stop();

  const std::vector<Json> events = test::JsonEvents(run.out);
  ASSERT_GE(events.size(), 10u);
  const double end = events.back()["duration_ms"].get<double>();
  ASSERT_GT(end, 5000);
  // Once the printer's rate is known, each line's elapsed time and time left
  // add up to the real end. The schedule is the prescribed pauses; a loaded
  // machine adds to them, hence the generous bound (the figure on an idle
  // machine is in velloran-bench).
  bool found = false;
  double worst = 0;
  for (const Json &event : events) {
    if (event["event"] != "status") continue;
    if (event["id"] == "baud_found") found = true;
    if (!found) continue;
    ASSERT_TRUE(event.contains("eta_ms")) << event.dump();
    const double predicted = event["elapsed_ms"].get<double>() + event["eta_ms"].get<double>();
    worst = std::max(worst, std::fabs(predicted - end) / end);
  }
  EXPECT_TRUE(found);
  std::printf("end %.0f ms, worst predicted end off by %.1f %%\n", end, worst * 100);
  EXPECT_LT(worst, 0.15);
  // Once both detections are behind, the time left only goes down (before,
  // a silent rate that takes three reads makes the rest take longer too).
  double last = 1e18;
  int detections = 0;
  for (const Json &event : events) {
    if (event["id"] == "baud_found") ++detections;
    if (detections < 2 || !event.contains("eta_ms")) continue;
    EXPECT_LE(event["eta_ms"].get<double>(), last + 1) << event.dump();
    last = event["eta_ms"].get<double>();
  }
}

struct RangeCase {
  const char *name;
  Link link;
  unsigned baud;  // serial: the printer's rate
};

class CliEtaRange : public ::testing::TestWithParam<RangeCase> {};

// The summary's range holds the real end. Below it nothing can go (the
// prescribed pauses); the top may be passed only by a machine so loaded that
// the pauses themselves stretch, hence the small allowance.
TEST_P(CliEtaRange, TheExpectedRangeHoldsTheRealEnd) {
  const RangeCase &c = GetParam();
  std::unique_ptr<sim::PtyPrinter> printer;
  std::vector<std::string> args = {"upgrade", "--json", "--link", LinkName(c.link)};
  switch (c.link) {
    case Link::kUsb: printer = std::make_unique<sim::UsbPrinter>(); break;
    case Link::kLpt: printer = std::make_unique<sim::LptPrinter>(); break;
    case Link::kSerial: {
      sim::SerialPrinterOptions options;
      options.baud = c.baud;
      options.wireTime = true;
      printer = std::make_unique<sim::SerialPrinter>(options);
      args.insert(args.end(), {"--port", "COM5"});
      break;
    }
  }
  std::string error;
  ASSERT_TRUE(printer->Start(&error)) << error;
  if (auto *usb = dynamic_cast<sim::UsbPrinter *>(printer.get())) {
    e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", usb->SysfsRoot().string());
    e2e::SetEnvironment("VELLORAN_DEV_ROOT", usb->DevRoot().string());
  } else {
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", std::string(c.link == Link::kLpt ? "LPT1=" : "COM5=") +
                                                   printer->SlavePath());
  }
  const e2e::ImageFile image(2000);
  args.push_back(image.Path());

  const test::CliRun run = test::RunArgs(args);
  ASSERT_EQ(run.status, kExitOk) << run.err;
  g_ComPort.Close(500);
  printer->Stop();
  unsetenv("VELLORAN_SYSFS_ROOT");
  unsetenv("VELLORAN_DEV_ROOT");

  const std::vector<Json> events = test::JsonEvents(run.out);
  ASSERT_FALSE(events.empty());
  ASSERT_EQ(events.front()["event"], "summary");
  const double low = events.front()["expected_ms"].get<double>();
  const double high = events.front()["expected_max_ms"].get<double>();
  const double end = events.back()["duration_ms"].get<double>();
  std::printf("%s: expected %.0f to %.0f ms, took %.0f ms\n", c.name, low, high, end);
  EXPECT_GE(end, low);
  EXPECT_LE(end, high * 1.05 + 300);
}

INSTANTIATE_TEST_SUITE_P(EveryLink, CliEtaRange,
                         ::testing::Values(RangeCase{"usb", Link::kUsb, 0}, RangeCase{"lpt", Link::kLpt, 0},
                                           RangeCase{"serial4800", Link::kSerial, 4800},
                                           RangeCase{"serial19200", Link::kSerial, 19200},
                                           RangeCase{"serial115200", Link::kSerial, 115200}),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velloran::cli
