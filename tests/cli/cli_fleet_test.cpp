// Several printers at once: the real velloran-cli against simulated serial
// printers on pseudo-terminals, one worker process per printer under the
// supervisor. A silent printer and a failing one end only their own
// upgrades; the others complete with their flash compared; the summary,
// the service record and the exit status say exactly that. Ctrl-C reaches
// every worker once; --check sends nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <functional>
#include <memory>

#include "cli_process.h"
#include "e2e_support.h"
#include "frame.h"
#include "json_output.h"
#include "serial_printer.h"
#include "usb_printer.h"
#include "sha256.h"

namespace velloran::cli {
namespace {

using namespace std::chrono;
using test::CliProcess;
using test::Events;

constexpr auto kLong = milliseconds(90000);

std::string Text(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) text += line + "\n";
  return text;
}

// A record file of this process alone (other test runs share the folder).
std::string RecordPath(const std::string &name) {
  const std::string path = testing::TempDir() + name + "-record-" + std::to_string(getpid()) + ".jsonl";
  std::remove(path.c_str());
  return path;
}

struct PrinterSetup {
  unsigned baud = 9600;
  std::function<void(BootLoaderModel &)> fault;
};

class CliFleet : public ::testing::Test {
 protected:
  // The printers are COM11, COM12, ... in the order given.
  void StartPrinters(const std::vector<PrinterSetup> &setups) {
    std::string map;
    for (const PrinterSetup &setup : setups) {
      sim::SerialPrinterOptions options;
      options.baud = setup.baud;
      auto printer = std::make_unique<sim::SerialPrinter>(options);
      if (setup.fault) printer->WithModel(setup.fault);
      std::string error;
      ASSERT_TRUE(printer->Start(&error)) << error;
      map += (map.empty() ? "" : ";") + Name(printers_.size()) + "=" + printer->SlavePath();
      printers_.push_back(std::move(printer));
    }
    e2e::SetEnvironment("VELLORAN_DEVICE_MAP", map);
  }
  static std::string Name(size_t index) { return "COM" + std::to_string(11 + index); }
  std::vector<std::string> Upgrade(std::vector<std::string> extra) const {
    std::vector<std::string> args = {"--lang", "en", "upgrade", "--link", "serial"};
    for (size_t i = 0; i < printers_.size(); ++i) args.insert(args.end(), {"--port", Name(i)});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  void TearDown() override {
    for (auto &printer : printers_) printer->Stop();
  }
  std::vector<std::unique_ptr<sim::SerialPrinter>> printers_;
};

// Four printers in one command: two complete (one at the --baud rate, one
// found by the fall-back to the whole list), one falls silent during its
// packets and one refuses the version. Each ends as its own printer did.
TEST_F(CliFleet, EachPrinterEndsAsItsOwnUpgradeDoes) {
  StartPrinters({{9600, {}},
                 {4800, {}},
                 {9600, [](BootLoaderModel &model) { model.StallAfterPackets(2); }},
                 {9600, [](BootLoaderModel &model) { model.FailCommand(CMD_VERSION, ReplyFault{.status = 7}); }}});
  const e2e::ImageFile image(3000);
  const std::string record = RecordPath("fleet");
  CliProcess cli(Upgrade({"--baud", "9600", "--json", "--record", record, image.Path()}));
  ASSERT_TRUE(cli.Started());
  const CliProcess::Exit exit = cli.Finish(kLong);
  EXPECT_EQ(exit.ShellStatus(), 1) << Text(cli.ErrLines());

  const std::vector<Json> events = Events(cli);
  ASSERT_FALSE(events.empty());
  for (size_t i = 0; i + 1 < events.size(); ++i) EXPECT_TRUE(events[i].contains("target")) << events[i].dump();
  // The first rate each worker tried is the one given.
  for (size_t i = 0; i < printers_.size(); ++i) {
    for (const Json &event : events) {
      if (event.value("target", "") != Name(i) || event.value("id", "") != "testing_baud") continue;
      EXPECT_NE(event.value("en", "").find("9600"), std::string::npos) << event.dump();
      break;
    }
  }
  const Json &fleet = events.back();
  ASSERT_EQ(fleet["event"], "fleet_result") << fleet.dump();
  EXPECT_EQ(fleet["id"], "fleet_failed");
  EXPECT_EQ(fleet["ok"], false);
  const struct {
    const char *result;
    const char *reason;  // nullptr: none
    const char *printer;
  } expected[] = {{"completed", nullptr, nullptr},
                  {"completed", nullptr, nullptr},
                  {"failed", "packet_no_reply", "flash_written"},
                  {"failed", "version_mismatch", "boot_mode"}};
  ASSERT_EQ(fleet["printers"].size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const Json &printer = fleet["printers"][i];
    SCOPED_TRACE(Name(i));
    EXPECT_EQ(printer["target"], Name(i));
    EXPECT_EQ(printer["result"], expected[i].result);
    EXPECT_EQ(printer["reason"], expected[i].reason ? Json(expected[i].reason) : Json(nullptr));
    EXPECT_EQ(printer["printer"], expected[i].printer ? Json(expected[i].printer) : Json(nullptr));
    EXPECT_EQ(printer["node"], printers_[i]->SlavePath());
  }
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(printers_[i]->Finished());
    EXPECT_EQ(printers_[i]->FlashedImage(), image.ExpectedFlash(512)) << Name(i);
  }
  EXPECT_EQ(fleet["printers"][0]["bytes_sent"], 3072);
  EXPECT_EQ(fleet["printers"][2]["packet"], 2);
  EXPECT_EQ(fleet["retry"], "velloran-cli upgrade --link serial --port COM13 --port COM14 --baud 9600 --record " +
                                record + " --json " + image.Path());

  // The service record: one line per printer, in the order they ended.
  std::ifstream lines(record);
  std::map<std::string, Json> byTarget;
  for (std::string line; std::getline(lines, line);) {
    const Json entry = Json::parse(line);
    byTarget[entry["target"]] = entry;
  }
  ASSERT_EQ(byTarget.size(), 4u);
  const std::string sha = Sha256Hex(image.Bytes().data(), image.Bytes().size());
  for (size_t i = 0; i < 4; ++i) {
    const Json &entry = byTarget[Name(i)];
    EXPECT_EQ(entry["result"], expected[i].result);
    EXPECT_EQ(entry["sha256"], sha);
    EXPECT_EQ(entry["version"], "01 02");
    EXPECT_EQ(entry["link"], "serial");
    EXPECT_EQ(entry["serial_number"], nullptr);
    EXPECT_EQ(entry["image"], image.Path());
    EXPECT_LE(entry["start"].get<std::string>(), entry["end"].get<std::string>());
  }
  EXPECT_EQ(byTarget["COM11"]["bytes"], 3072);
  std::remove(record.c_str());
}

// Without a terminal each printer's lines carry its id, a failed one's with
// its state; the table and the command for the one that failed close the
// output.
TEST_F(CliFleet, TextNamesEachPrinterAndTheCommandForTheFailedOnes) {
  StartPrinters({{9600, {}}, {9600, [](BootLoaderModel &model) { model.FailCommand(CMD_ERASE, ReplyFault{.status = 3}); }}});
  const e2e::ImageFile image(1000);
  CliProcess cli(Upgrade({image.Path()}));
  const CliProcess::Exit exit = cli.Finish(kLong);
  EXPECT_EQ(exit.ShellStatus(), 1);
  const std::string out = Text(cli.OutLines());
  EXPECT_NE(out.find("COM11: Upgrade completed: wrote 1024 bytes in "), std::string::npos) << out;
  EXPECT_NE(out.find("COM12: Upgrade failed after "), std::string::npos) << out;
  EXPECT_NE(out.find("COM12: The flash of the printer on COM12 is erased or partly written"), std::string::npos)
      << out;
  EXPECT_NE(out.find("\nPrinter  Result     Bytes      Time"), std::string::npos) << out;
  EXPECT_NE(out.find("\nCOM11    completed  1024/1024  "), std::string::npos) << out;
  EXPECT_NE(out.find("\nCOM12    failed     0/1024     "), std::string::npos) << out;
  EXPECT_NE(out.find("\n    velloran-cli upgrade --link serial --port COM12 " + image.Path() + "\n"), std::string::npos)
      << out;
  EXPECT_EQ(cli.OutLines().back().rfind("1 of 2 printers not upgraded (", 0), 0u) << out;
  EXPECT_EQ(printers_[0]->FlashedImage(), image.ExpectedFlash(512));
}

// Ctrl-C (to the supervisor alone, as kill sends it) reaches every worker
// once: each stops at its frame boundary, says its printer's state under its
// id, and the supervisor ends as SIGINT ends a program.
TEST_F(CliFleet, CtrlCStopsEveryUpgradeAndStatesEachPrinter) {
  StartPrinters({{9600, {}}, {9600, {}}});
  const e2e::ImageFile image(2000);
  CliProcess cli(Upgrade({"--json", image.Path()}));
  ASSERT_TRUE(cli.Started());
  const auto deadline = steady_clock::now() + kLong;
  const auto bootEntered = [&](const sim::SerialPrinter &printer) {
    return printer.WithModel([](const BootLoaderModel &model) { return model.Counters().bootEntries; }) > 0;
  };
  while ((!bootEntered(*printers_[0]) || !bootEntered(*printers_[1])) && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  cli.Signal(SIGINT);
  const CliProcess::Exit exit = cli.Finish(kLong);
  EXPECT_TRUE(exit.signalled);
  EXPECT_EQ(exit.ShellStatus(), 130);
  const Json fleet = Events(cli).back();
  EXPECT_EQ(fleet["id"], "fleet_stopped");
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fleet["printers"][i]["result"], "stopped");
    EXPECT_EQ(fleet["printers"][i]["reason"], "interrupted");
    EXPECT_EQ(fleet["printers"][i]["printer"], "boot_mode");
    EXPECT_EQ(printers_[i]->WithModel([](const BootLoaderModel &model) { return model.Counters().erases; }), 0u);
  }
  const std::string err = Text(cli.ErrLines());
  // The answer to Ctrl-C, then each printer's state.
  EXPECT_EQ(cli.ErrLines().size(), 3u) << err;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_NE(err.find(Name(i) + ": velloran-cli: Upgrade stopped by Ctrl-C (SIGINT) before the erase"),
              std::string::npos)
        << err;
  }
}

// --check: each printer ready or the reason, and not one byte to any of
// them. Two values for one printer are refused, with and without --check
// (two workers would interleave their frames on it).
TEST_F(CliFleet, CheckSendsNothingAndNamesEachPrinterReadiness) {
  StartPrinters({{9600, {}}, {4800, {}}});
  const e2e::ImageFile image(1000);
  {
    CliProcess cli(Upgrade({"--check", "--json", image.Path()}));
    EXPECT_EQ(cli.Finish(kLong).ShellStatus(), 0);
    const std::vector<Json> events = Events(cli);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0]["event"], "summary");
    EXPECT_EQ(events[1]["ready"], true);
    EXPECT_EQ(events[2]["target"], "COM12");
    EXPECT_EQ(events[3]["id"], "check_ready");
    EXPECT_EQ(events[3]["ready"], 2);
  }
  // Two values for one printer are refused before anything starts.
  for (const char *check : {"--check", "--json"}) {
    CliProcess twice({"upgrade", "--link", "serial", "--port", "COM11", "--port", "11", check, image.Path()});
    EXPECT_EQ(twice.Finish(kLong).ShellStatus(), 2) << check;
  }
  std::vector<std::string> args = Upgrade({"--port", "COM19", "--check", image.Path()});
  CliProcess cli(args);
  EXPECT_EQ(cli.Finish(kLong).ShellStatus(), 1);
  const std::string out = Text(cli.OutLines());
  EXPECT_NE(out.find("COM11: ready; expected duration "), std::string::npos) << out;
  EXPECT_NE(out.find("COM19: not ready: COM19 does not exist"), std::string::npos) << out;
  EXPECT_EQ(cli.OutLines().back(), "2 of 3 printers are ready; nothing was sent to any of them");
  for (const auto &printer : printers_) {
    EXPECT_TRUE(printer->Frames().empty());
    EXPECT_EQ(printer->IgnoredBytes(), 0u);
  }
}

// One printer with --record: the upgrade as before, and its line.
TEST_F(CliFleet, OnePrinterKeepsItsRecordToo) {
  StartPrinters({{9600, {}}});
  const e2e::ImageFile image(1000);
  const std::string record = RecordPath("single");
  CliProcess cli(Upgrade({"--record", record, image.Path()}));
  EXPECT_EQ(cli.Finish(kLong).ShellStatus(), 0);
  std::ifstream lines(record);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  const Json entry = Json::parse(line);
  EXPECT_EQ(entry["target"], "COM11");
  EXPECT_EQ(entry["result"], "completed");
  EXPECT_EQ(entry["reason"], nullptr);
  EXPECT_EQ(entry["bytes"], 1024);
  EXPECT_FALSE(std::getline(lines, line));
  std::remove(record.c_str());
}

// A record that cannot be kept (a missing folder, a folder in the file's
// place) is refused before any printer sees a byte, one printer or several,
// with the path and the system's own words.
TEST_F(CliFleet, RecordThatCannotBeWrittenIsRefusedBeforeAnyFrame) {
  StartPrinters({{9600, {}}, {9600, {}}});
  const e2e::ImageFile image(1000);
  const std::string folder = testing::TempDir() + "record-folder-" + std::to_string(getpid());
  std::filesystem::create_directories(folder);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {folder + "/missing/record.jsonl", "No such file or directory"}, {folder, "Is a directory"}};
  for (const auto &[record, cause] : cases) {
    // One printer in text, both (the supervisor) in JSON, and the check.
    for (const std::vector<std::string> &ports : {std::vector<std::string>{"--port", "COM11"},
                                                  {"--port", "COM11", "--port", "COM12", "--json"},
                                                  {"--port", "COM11", "--check"}}) {
      std::vector<std::string> args = {"--lang", "en", "upgrade", "--link", "serial", "--record", record};
      args.insert(args.end(), ports.begin(), ports.end());
      args.push_back(image.Path());
      CliProcess cli(args);
      EXPECT_EQ(cli.Finish(kLong).ShellStatus(), 1) << record;
      const std::string said = Text(cli.OutLines()) + Text(cli.ErrLines());
      EXPECT_NE(said.find("the service record " + record + " cannot be written: " + cause), std::string::npos) << said;
    }
  }
  for (const auto &printer : printers_) {
    EXPECT_EQ(printer->Counters().frames, 0u);
    EXPECT_EQ(printer->IgnoredBytes(), 0u);
  }
  std::filesystem::remove_all(folder);
}

// --all on a USB tree of three printers, one of a maker outside the filter:
// the two upgradable ones are upgraded at once under their serial numbers,
// the third gets no frame; --all is refused on the serial link.
TEST(CliFleetUsb, AllUpgradesEveryUpgradablePrinterAndNoOther) {
  char pattern[] = "/tmp/velloran-fleet-usb-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path tree = pattern;
  e2e::SetEnvironment("VELLORAN_SYSFS_ROOT", (tree / "sys").string());
  e2e::SetEnvironment("VELLORAN_DEV_ROOT", (tree / "dev").string());
  const auto inTree = [&](unsigned minor, uint16_t vendor, const char *serial) {
    sim::UsbPrinterOptions options;
    options.minor = minor;
    options.vendorId = vendor;
    options.tree = tree;
    options.portPath = "1-" + std::to_string(minor + 1);
    options.serial = serial;
    return options;
  };
  sim::UsbPrinter first(inTree(0, 0x067B, "SN-A")), foreign(inTree(1, 0x1234, "SN-X")), second(inTree(2, 0x067B, "SN-B"));
  std::string error;
  for (sim::UsbPrinter *printer : {&first, &foreign, &second}) ASSERT_TRUE(printer->Start(&error)) << error;
  const e2e::ImageFile image(1500);
  {
    CliProcess cli({"upgrade", "--link", "usb", "--all", "--json", image.Path()});
    EXPECT_EQ(cli.Finish(kLong).ShellStatus(), 0);
    const Json fleet = Events(cli).back();
    EXPECT_EQ(fleet["id"], "fleet_completed") << fleet.dump();
    ASSERT_EQ(fleet["printers"].size(), 2u);
    EXPECT_EQ(fleet["printers"][0]["target"], "SN-A");
    EXPECT_EQ(fleet["printers"][1]["target"], "SN-B");
  }
  EXPECT_EQ(first.FlashedImage(), image.ExpectedFlash(512));
  EXPECT_EQ(second.FlashedImage(), image.ExpectedFlash(512));
  EXPECT_TRUE(foreign.Frames().empty());
  CliProcess serial({"upgrade", "--link", "serial", "--all", image.Path()});
  EXPECT_EQ(serial.Finish(kLong).ShellStatus(), 2);
  for (sim::UsbPrinter *printer : {&first, &foreign, &second}) printer->Stop();
  unsetenv("VELLORAN_SYSFS_ROOT");
  unsetenv("VELLORAN_DEV_ROOT");
  std::error_code ignored;
  std::filesystem::remove_all(tree, ignored);
}

}  // namespace
}  // namespace velloran::cli
