// Every failed upgrade ends by saying what state it left the printer in and
// what to do, by how far it got (text and the JSON result's "printer" and
// "packet"), and names the port: velloran-cli as its own process against
// simulated serial printers that fail at each stage.
#include <gtest/gtest.h>

#include <functional>

#include "cli_process.h"
#include "e2e_support.h"
#include "frame.h"
#include "json_output.h"
#include "serial_printer.h"

namespace velloran::cli {
namespace {

using namespace std::chrono;
using test::CliProcess;

struct Case {
  const char *name;
  unsigned baud;  // 2400: not among the rates probed, so no printer answers
  std::function<void(BootLoaderModel &)> fault;
  const char *printer;
  unsigned packet;
  const char *line;  // the start of the last line of the text output
};

TEST(CliFailureState, EveryFailureSaysThePrintersStateAndTheNextStep) {
  const Case cases[] = {
      {"no printer answers", 2400, {}, "unchanged", 0, "No frame changed anything on the printer on COM7"},
      {"version refused", 4800, [](BootLoaderModel &m) { m.FailCommand(CMD_VERSION, ReplyFault{.status = 7}); },
       "boot_mode", 0, "The printer on COM7 may be in boot mode with its firmware unchanged: switch it off and on"},
      {"silent after a packet", 4800, [](BootLoaderModel &m) { m.StallAfterPackets(1); }, "flash_written", 1,
       "The flash of the printer on COM7 is erased or partly written (the printer took packet 1): keep it powered"},
  };
  const e2e::ImageFile image(3 * 512);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool json : {false, true}) {
      sim::SerialPrinterOptions options;
      options.baud = c.baud;
      sim::SerialPrinter printer(options);
      if (c.fault) printer.WithModel(c.fault);
      std::string error;
      ASSERT_TRUE(printer.Start(&error)) << error;
      e2e::SetEnvironment("VELLORAN_DEVICE_MAP", "COM7=" + printer.SlavePath());
      std::vector<std::string> args = {"--lang", "en", "upgrade", "--link", "serial", "--port", "COM7", image.Path()};
      if (json) args.insert(args.end() - 1, "--json");
      CliProcess cli(args);
      ASSERT_TRUE(cli.Started());
      EXPECT_EQ(cli.Finish(milliseconds(60000)).ShellStatus(), 1);
      printer.Stop();
      ASSERT_FALSE(cli.OutLines().empty());
      if (json) {
        const Json result = Json::parse(cli.OutLines().back());
        EXPECT_EQ(result.at("event"), "result");
        EXPECT_EQ(result.at("printer"), c.printer);
        EXPECT_EQ(result.at("packet"), c.packet);
      } else {
        EXPECT_EQ(cli.OutLines().back().rfind(c.line, 0), 0u) << cli.OutLines().back();
      }
    }
  }
}

}  // namespace
}  // namespace velloran::cli
