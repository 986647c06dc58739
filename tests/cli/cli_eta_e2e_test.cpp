// The time left that velloran-cli announces, against the end of a real
// upgrade of the simulated serial printer (19200 baud, bytes taking their
// time on the line).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "cli_run.h"
#include "commands.h"
#include "e2e_support.h"
#include "global_com_port.h"
#include "json_output.h"
#include "serial_printer.h"

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

}  // namespace
}  // namespace velloran::cli
