// velloran-cli's command line, the port argument, JSON lines and the printed
// lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli_options.h"
#include "cli_run.h"
#include "commands.h"
#include "console_reporter.h"
#include "json_output.h"
#include "port_choice.h"
#include "port_advice.h"
#include "printable_text.h"
#include "status_feed.h"

namespace velloran::cli {
namespace {

using Outcome = ParsedCommandLine::Outcome;
using test::CliRun;
using test::RunArgs;

CliOptions Options(std::vector<std::string> args) {
  const ParsedCommandLine parsed = ParseCommandLine(args);
  EXPECT_EQ(parsed.outcome, Outcome::kRun) << testing::PrintToString(args) << ": " << parsed.text;
  return parsed.options;
}

TEST(CommandLine, UpgradeTakesItsOptionsInAnyOrder) {
  CliOptions upgrade = Options({"upgrade", "--link", "serial", "--port=COM3", "--json", "fw.upd"});
  EXPECT_EQ(upgrade.command, Command::kUpgrade);
  EXPECT_EQ(upgrade.link, Link::kSerial);
  EXPECT_EQ(upgrade.port, "COM3");
  EXPECT_TRUE(upgrade.json);
  EXPECT_EQ(upgrade.image, "fw.upd");
  EXPECT_EQ(upgrade.verbosity, Verbosity::kNormal);
  EXPECT_FALSE(upgrade.language);

  CliOptions usb = Options({"upgrade", "fw.upd", "--link=usb"});
  EXPECT_EQ(usb.link, Link::kUsb);
  EXPECT_FALSE(usb.port);
  EXPECT_FALSE(usb.json);
  EXPECT_EQ(Options({"upgrade", "--link", "lpt", "--", "-odd.upd"}).image, "-odd.upd");
}

TEST(CommandLine, CommonOptionsGoBeforeOrAfterTheCommand) {
  EXPECT_EQ(Options({"-q", "upgrade", "--link", "usb", "a.upd"}).verbosity, Verbosity::kQuiet);
  EXPECT_EQ(Options({"upgrade", "--link", "usb", "a.upd", "-v"}).verbosity, Verbosity::kVerbose);
  EXPECT_EQ(Options({"upgrade", "--link", "usb", "--verbose", "a.upd"}).verbosity, Verbosity::kVerbose);
  EXPECT_EQ(Options({"--lang", "zh", "info", "a.upd"}).language, Language::kChinese);
  EXPECT_EQ(Options({"info", "a.upd", "--lang=en"}).language, Language::kEnglish);
  EXPECT_EQ(Options({"ports", "--quiet"}).command, Command::kPorts);
  const CliOptions info = Options({"info", "a.upd"});
  EXPECT_EQ(info.command, Command::kInfo);
  EXPECT_EQ(info.image, "a.upd");
}

TEST(CommandLine, HelpAndVersion) {
  ParsedCommandLine parsed = ParseCommandLine({"--version"});
  EXPECT_EQ(parsed.outcome, Outcome::kVersion);
  EXPECT_EQ(parsed.text, VersionLine() + "\n");
  EXPECT_EQ(VersionLine(), std::string("velloran-cli ") + VELLORAN_RELEASE);

  parsed = ParseCommandLine({"--help"});
  EXPECT_EQ(parsed.outcome, Outcome::kHelp);
  for (const char *word : {"upgrade", "ports", "info", "--lang", "-q,--quiet", "Exit status"}) {
    EXPECT_NE(parsed.text.find(word), std::string::npos) << word;
  }
  // Each command has its own help.
  parsed = ParseCommandLine({"upgrade", "--help"});
  EXPECT_EQ(parsed.outcome, Outcome::kHelp);
  EXPECT_NE(parsed.text.find("Usage: velloran-cli upgrade"), std::string::npos) << parsed.text;
  EXPECT_NE(parsed.text.find("--link"), std::string::npos);
  EXPECT_NE(parsed.text.find("--port"), std::string::npos);
  parsed = ParseCommandLine({"info", "-h"});
  EXPECT_NE(parsed.text.find("Usage: velloran-cli info"), std::string::npos) << parsed.text;
  EXPECT_EQ(parsed.text.find("--link"), std::string::npos);
  // The upgrade's exit paragraph is the upgrade's (and the overview's) only.
  for (const char *command : {"ports", "info"}) {
    parsed = ParseCommandLine({command, "--help"});
    EXPECT_EQ(parsed.text.find("SIGTERM"), std::string::npos) << parsed.text;
    EXPECT_NE(parsed.text.find("Exit status: 0 success"), std::string::npos) << parsed.text;
  }

  const CliRun run = RunArgs({"--version"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out, VersionLine() + "\n");
}

TEST(CommandLine, RefusesBadUsageWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"flash", "fw.upd"},
      {"upgrade", "fw.upd"},                                     // no link
      {"upgrade", "--link", "wifi", "fw.upd"},                   // unknown link
      {"upgrade", "--link", "serial", "--port=", "fw.upd"},      // empty port
      {"upgrade", "--link", "serial"},                           // no image
      {"upgrade", "--link", "lpt", "a.upd", "b.upd"},            // two images
      {"upgrade", "--link", "lpt", "--fast", "a.upd"},           // unknown option
      {"upgrade", "--link"},                                     // missing value
      {"upgrade", "--link", "usb", "-q", "-v", "a.upd"},         // quiet and verbose
      {"--lang", "fr", "info", "a.upd"},                         // unknown language
      {"ports", "extra"},
      {"ports", "--json", "--link", "usb"},
      {"info"},
      {"frob", "a.upd"},                                         // unknown command
      {"-V"},                                                    // unknown option
  };
  for (const auto &args : bad) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    EXPECT_EQ(parsed.outcome, Outcome::kUsageError) << testing::PrintToString(args);
    EXPECT_FALSE(parsed.problem.en.empty()) << testing::PrintToString(args);
    const CliRun run = RunArgs(args);
    EXPECT_EQ(run.status, kExitUsage) << testing::PrintToString(args);
    if (!parsed.jsonWanted) {
      EXPECT_EQ(run.err.rfind("velloran-cli: ", 0), 0u) << run.err;
      EXPECT_TRUE(run.out.empty()) << run.out;
    }
  }
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhy) {
  CliRun run = RunArgs({"--lang", "en", "upgrade", "--link", "usb", "--port", "", "fw.upd"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("--port needs a value"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--help"), std::string::npos);
  EXPECT_TRUE(run.out.empty());

  // With --json the error is an event, and a result ends the stream.
  run = RunArgs({"upgrade", "--json", "--link", "wifi", "fw.upd"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_TRUE(run.err.empty()) << run.err;
  const std::vector<Json> events = test::JsonEvents(run.out);
  ASSERT_EQ(events.size(), 2u) << run.out;
  EXPECT_EQ(events[0]["event"], "error");
  EXPECT_EQ(events[0]["id"], "bad_usage");
  EXPECT_NE(events[0]["en"].get<std::string>().find("wifi"), std::string::npos);
  EXPECT_EQ(events[1]["event"], "result");
  EXPECT_EQ(events[1]["ok"], false);
  EXPECT_EQ(events[1]["reason"], "bad_usage");

  // What stands where a command should is named.
  EXPECT_NE(RunArgs({"frob", "fw.upd"}).err.find("unknown command 'frob'"), std::string::npos);
  EXPECT_NE(RunArgs({"--lang", "en", "-V"}).err.find("unknown option '-V'"), std::string::npos);
}

TEST(PortArgument, TakesNamesNumbersAndDeviceNodes) {
  EXPECT_EQ(ParsePortArgument("COM3").number, 3u);
  EXPECT_EQ(ParsePortArgument("com12").number, 12u);
  EXPECT_EQ(ParsePortArgument("\\\\.\\COM7").number, 7u);
  EXPECT_EQ(ParsePortArgument("5").number, 5u);
  EXPECT_EQ(ParsePortArgument("1024").number, 1024u);
  EXPECT_EQ(ParsePortArgument("/dev/ttyS1").number, 2u);
  EXPECT_EQ(ParsePortArgument("/dev/ttyUSB0").number, 33u);
  // One rule for numbers with and without COM: no leading zero.
  for (const char *bad : {"0", "1025", "COM", "COM0", "ttyS0", "99999999", "00005", "05", "COM05"}) {
    const PortChoice choice = ParsePortArgument(bad);
    EXPECT_EQ(choice.number, 0u) << bad;
    EXPECT_TRUE(choice.usageError) << bad;
    ASSERT_TRUE(choice.error.has_value()) << bad;
    EXPECT_NE(choice.error->en.find("without leading zeros"), std::string::npos) << bad;
  }
  // Any other node is taken as it is; a COM name is given to it when chosen.
  const PortChoice node = ParsePortArgument("/dev/ttyAMA0");
  EXPECT_EQ(node.number, 0u);
  EXPECT_EQ(node.node, "/dev/ttyAMA0");
  EXPECT_FALSE(node.usageError);
}

TEST(PrintableText, EscapesControlCharactersOnly) {
  // An escape sequence that would clear the screen, a line break that would
  // fake a line, DEL; UTF-8 passes.
  EXPECT_EQ(PrintableText("fw\x1b[2J.upd"), "fw\\x1B[2J.upd");
  EXPECT_EQ(PrintableText("a\nb\x7f"), "a\\x0Ab\\x7F");
  EXPECT_EQ(PrintableText("固件.upd"), "固件.upd");
  // A backslash is always doubled: a backslash before byte 05 and the text
  // "\x05" print apart.
  EXPECT_EQ(PrintableText("C:\\x1B"), "C:\\\\x1B");
  EXPECT_EQ(PrintableText("C:\\dir"), "C:\\\\dir");
  EXPECT_NE(PrintableText("\\\x05"), PrintableText("\\x05"));
}

TEST(JsonLine, EscapesWhatJsonRequiresAndKeepsUtf8) {
  const auto line = [](const std::string &text) { return JsonLine(JsonText(text)); };
  EXPECT_EQ(line("plain"), "\"plain\"");
  EXPECT_EQ(line("升级完成！！！"), "\"升级完成！！！\"");
  EXPECT_EQ(line("a\"b\\c\nd\r\te"), "\"a\\\"b\\\\c\\nd\\r\\te\"");
  EXPECT_EQ(line(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
  EXPECT_EQ(line(std::string("nul\0end", 7)), "\"nul\\u0000end\"");
  EXPECT_EQ(line("😀"), "\"😀\"");
  // Broken UTF-8 (a lone continuation byte, a cut sequence, an overlong
  // form, a surrogate) becomes U+FFFD; what follows it is kept.
  EXPECT_EQ(line("\x80"), "\"\xEF\xBF\xBD\"");
  EXPECT_EQ(line("\xE5\x8D" "A"), "\"\xEF\xBF\xBD" "A\"");
  EXPECT_EQ(line("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(line("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  const Json parsed = Json::parse(JsonLine(Json{{"text", JsonText("\xFF\xFE")}}));
  EXPECT_EQ(parsed["text"], "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(ConsoleReporter, JsonEventsCarryIdEnglishAndTheExactText) {
  std::ostringstream out, err;
  OutputSettings settings;
  settings.json = true;
  settings.language = Language::kChinese;  // JSON is the same in every language
  ConsoleReporter reporter(out, err, settings);
  reporter.BeginUpgrade(Link::kSerial, "COM5", std::nullopt);
  test::Feed(reporter, {StatusId::kTestingBaudFormat, 4800}, 14);
  test::Feed(reporter, StatusId::kVersionMismatch, 20);
  test::FeedBox(reporter, {StatusId::kBoxImageLoadFailed, std::nullopt, "\"demo\" is a folder"});
  reporter.ReportResult(false);
  reporter.ReportResult(true, "late");  // only the first result counts
  const std::vector<Json> events = test::JsonEvents(out.str());
  ASSERT_EQ(events.size(), 4u) << out.str();
  EXPECT_EQ(events[0]["event"], "status");
  EXPECT_EQ(events[0]["text"], "测试波特率4800......");
  EXPECT_EQ(events[0]["id"], "testing_baud");
  EXPECT_EQ(events[0]["en"], "Trying 4800 baud...");
  EXPECT_EQ(events[0]["phase"], "detect");
  EXPECT_EQ(events[0]["code"], 14);
  EXPECT_EQ(events[0]["baud"], 4800);
  EXPECT_EQ(events[0]["port"], "COM5");
  EXPECT_TRUE(events[0].contains("elapsed_ms"));
  EXPECT_EQ(events[1]["id"], "version_mismatch");
  EXPECT_EQ(events[1]["phase"], "version");
  EXPECT_EQ(events[2]["event"], "message");
  EXPECT_EQ(events[2]["text"], "Image Load Failed: \"demo\" is a folder！");
  EXPECT_EQ(events[2]["en"], "The image file cannot be loaded: \"demo\" is a folder");
  EXPECT_EQ(events[3]["event"], "result");
  EXPECT_EQ(events[3]["ok"], false);
  EXPECT_EQ(events[3]["reason"], "version_mismatch");
  EXPECT_TRUE(err.str().empty());
}

TEST(ConsoleReporter, TextSpeaksTheReadersLanguage) {
  for (const Language language : {Language::kEnglish, Language::kChinese}) {
    std::ostringstream out, err;
    OutputSettings settings;
    settings.language = language;
    settings.verbosity = Verbosity::kVerbose;
    ConsoleReporter reporter(out, err, settings);
    reporter.BeginUpgrade(Link::kUsb, "", std::nullopt);
    test::Feed(reporter, StatusId::kEraseDone, 300);
    test::Feed(reporter, StatusId::kNoReplyEnd, 0);
    reporter.ReportResult(false);
    const std::string text = out.str();
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    if (language == Language::kEnglish) {
      EXPECT_NE(text.find("300  The flash is erased\n"), std::string::npos) << text;
      EXPECT_NE(text.find("Upgrade failed after "), std::string::npos) << text;
      EXPECT_NE(text.find("The printer did not answer; stopped; 0 of 0 bytes written"), std::string::npos) << text;
      EXPECT_EQ(text.find("擦除"), std::string::npos) << text;
    } else {
      EXPECT_NE(text.find("300  擦除成功！\n"), std::string::npos) << text;
      EXPECT_NE(text.find("升级失败"), std::string::npos) << text;
      EXPECT_NE(text.find("打印机未响应！终止！"), std::string::npos) << text;
    }
  }
}

TEST(ConsoleReporter, QuietOutputIsTheFailureTheClosingLineAndThePrintersState) {
  std::ostringstream out, err;
  OutputSettings settings;
  settings.verbosity = Verbosity::kQuiet;
  ConsoleReporter reporter(out, err, settings);
  reporter.BeginUpgrade(Link::kLpt, "LPT1", std::nullopt);
  test::Feed(reporter, StatusId::kPreparingBoot, 0);
  test::FeedBox(reporter, StatusId::kBoxLptUpgradeComplete);
  test::Feed(reporter, StatusId::kLptNoReplyExit, 0);
  reporter.ReportResult(false);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("The printer did not take the frame; stopped\nUpgrade failed after ", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
  EXPECT_NE(text.find("\nNo frame changed anything on the printer on LPT1"), std::string::npos) << text;
}

TEST(ConsoleReporter, NormalOutputNamesThePhasesAndTheFailures) {
  std::ostringstream out, err;
  ConsoleReporter reporter(out, err, OutputSettings{});
  reporter.BeginUpgrade(Link::kUsb, "", std::nullopt);
  for (const StatusId line :
       {StatusId::kPreparingBoot, StatusId::kBootEntered, StatusId::kGettingVersion, StatusId::kVersionMismatch}) {
    test::Feed(reporter, line, 0);
  }
  reporter.ReportResult(false);
  EXPECT_EQ(out.str(),
            "Switching to boot mode...\n"
            "Checking the version...\n"
            "The printer refuses the image's version; stopped\n" +
                out.str().substr(out.str().find("Upgrade failed after")))
      << out.str();
}

// The last packet's line moves the run on to its finish: the finish is
// still named when its line comes.
TEST(ConsoleReporter, NormalOutputNamesTheFinishAfterTheLastPacket) {
  std::ostringstream out, err;
  ConsoleReporter reporter(out, err, OutputSettings{});
  ImageFacts facts;
  facts.path = "demo\x1b]0;pwned\x07.upd";  // would set the terminal's title
  facts.size = 600;
  facts.packets = 2;
  reporter.BeginUpgrade(Link::kLpt, "LPT1", facts);
  for (const StatusReport &line : {StatusReport{StatusId::kPacketSentFormat, 1},
                                    StatusReport{StatusId::kPacketSentFormat, 2}, StatusReport{StatusId::kUpgradeDone}}) {
    test::Feed(reporter, line, 0);
  }
  reporter.ReportResult(true);
  EXPECT_NE(out.str().find("Sending the image: 2 packets of 512 bytes...\nFinishing...\nWrote 1024 bytes in "),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("Image demo\\x1B]0;pwned\\x07.upd: 600 bytes"), std::string::npos) << out.str();
}

platform::NodeDiagnosis NotPermittedNode(const std::string &group, bool groupWritable) {
  platform::NodeDiagnosis diagnosis;
  diagnosis.verdict = platform::NodeVerdict::kNotPermitted;
  diagnosis.node = "/dev/lp0";
  diagnosis.nodeExists = true;
  diagnosis.group = group;
  diagnosis.groupWritable = groupWritable;
  return diagnosis;
}

TEST(PortAdvice, NamesTheGroupThatOwnsTheNode) {
  // A parallel port whose node the system gave to dialout: joining lp would
  // not help.
  const Message advice = ExplainPort("LPT1", NotPermittedNode("dialout", true), PortKind::kParallel);
  EXPECT_EQ(advice.id, "port_not_permitted");
  EXPECT_NE(advice.en.find("LPT1 (/dev/lp0) cannot be opened: you may not open it: it belongs to the group 'dialout'"),
            std::string::npos)
      << advice.en;
  EXPECT_NE(advice.en.find("sudo usermod -aG dialout $USER"), std::string::npos) << advice.en;
  EXPECT_NE(advice.zh.find("sudo usermod -aG dialout $USER"), std::string::npos) << advice.zh;
  EXPECT_EQ(advice.en.find("'lp'"), std::string::npos) << advice.en;
}

TEST(PortAdvice, ANodeLeftToRootIsNoGroupToJoin) {
  for (const auto &[group, writable] : {std::pair{"root", true}, std::pair{"tty", false}}) {
    const Message advice = ExplainPort("COM2", NotPermittedNode(group, writable), PortKind::kSerial);
    EXPECT_EQ(advice.id, "port_owner_only") << group;
    EXPECT_EQ(advice.en.find("usermod"), std::string::npos) << advice.en;
  }
}

TEST(PortAdvice, AMemberWhoseLoginLacksTheGroupLogsInAgain) {
  platform::NodeDiagnosis diagnosis = NotPermittedNode("dialout", true);
  diagnosis.memberNotInSession = true;
  const Message advice = ExplainPort("COM2", diagnosis, PortKind::kSerial);
  EXPECT_NE(advice.en.find("log in again (or run `newgrp dialout`)"), std::string::npos) << advice.en;
  EXPECT_EQ(advice.en.find("usermod"), std::string::npos) << advice.en;
}

TEST(PortAdvice, UsbPrintersPointToTheUdevRule) {
  const Message advice = ExplainPort("USB 067b:2305", NotPermittedNode("root", false), PortKind::kUsbPrinter);
  EXPECT_NE(advice.en.find("udev rule"), std::string::npos) << advice.en;
  EXPECT_EQ(advice.en.find("usermod"), std::string::npos) << advice.en;
}

TEST(PortAdvice, MissingPortsSayWhatIsMissing) {
  platform::NodeDiagnosis diagnosis;
  diagnosis.verdict = platform::NodeVerdict::kMissing;
  EXPECT_EQ(ExplainPort("COM97", diagnosis, PortKind::kSerial).en,
            "COM97 does not exist (it has no device node); see velloran-cli ports");
  diagnosis.node = "/dev/ttyS1";
  diagnosis.nodeExists = true;
  EXPECT_EQ(ExplainPort("COM2", diagnosis, PortKind::kSerial).en,
            "COM2 does not exist (/dev/ttyS1 has no port behind it); see velloran-cli ports");
  diagnosis.nodeExists = false;
  EXPECT_EQ(ExplainPort("COM2", diagnosis, PortKind::kSerial).en,
            "COM2 does not exist (no device node /dev/ttyS1); see velloran-cli ports");
}

}  // namespace
}  // namespace velloran::cli
