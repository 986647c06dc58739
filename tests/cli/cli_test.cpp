// velloran-cli's parts: the command line, the port argument, JSON strings and
// the printed lines.
#include <gtest/gtest.h>

#include <grp.h>
#include <sstream>
#include <unistd.h>

#include "cli_options.h"
#include "commands.h"
#include "console_reporter.h"
#include "json_text.h"
#include "port_choice.h"
#include "port_probe.h"

namespace velloran::cli {
namespace {

std::optional<CliOptions> Parse(std::vector<std::string> args, std::string *error = nullptr) {
  std::string ignored;
  return ParseCliOptions(args, error ? error : &ignored);
}

TEST(CliOptions, AcceptsTheThreeCommands) {
  auto upgrade = Parse({"upgrade", "--link", "serial", "--port=COM3", "--json", "fw.upd"});
  ASSERT_TRUE(upgrade);
  EXPECT_EQ(upgrade->command, Command::kUpgrade);
  EXPECT_EQ(upgrade->link, Link::kSerial);
  EXPECT_EQ(upgrade->port, "COM3");
  EXPECT_TRUE(upgrade->json);
  EXPECT_EQ(upgrade->image, "fw.upd");

  auto usb = Parse({"upgrade", "fw.upd", "--link=usb"});
  ASSERT_TRUE(usb);
  EXPECT_EQ(usb->link, Link::kUsb);
  EXPECT_FALSE(usb->port);

  EXPECT_EQ(Parse({"ports"})->command, Command::kPorts);
  EXPECT_EQ(Parse({"info", "--", "-odd.upd"})->image, "-odd.upd");
  EXPECT_EQ(Parse({"upgrade", "--help"})->command, Command::kHelp);
}

TEST(CliOptions, RefusesBadUsageWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"flash", "fw.upd"},
      {"upgrade", "fw.upd"},                                // no link
      {"upgrade", "--link", "wifi", "fw.upd"},              // unknown link
      {"upgrade", "--link", "usb", "--port", "COM1", "fw.upd"},  // port on usb
      {"upgrade", "--link", "serial"},                      // no image
      {"upgrade", "--link", "lpt", "a.upd", "b.upd"},       // two images
      {"upgrade", "--link", "lpt", "--fast", "a.upd"},      // unknown option
      {"upgrade", "--link"},                                // missing value
      {"ports", "extra"},
      {"info"},
  };
  for (const auto &args : bad) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

TEST(CliOptions, VersionNamesTheRelease) {
  std::vector<std::string> args = {"velloran-cli", "--version"};
  std::vector<char *> argv;
  for (auto &arg : args) argv.push_back(arg.data());
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, false), kExitOk);
  EXPECT_EQ(out.str(), std::string("velloran-cli ") + VELLORAN_RELEASE + "\n");
  EXPECT_TRUE(err.str().empty());
}

TEST(CliOptions, UsageErrorsExitWithTwo) {
  std::vector<std::string> args = {"velloran-cli", "upgrade", "--link", "usb", "--port", "3", "fw.upd"};
  std::vector<char *> argv;
  for (auto &arg : args) argv.push_back(arg.data());
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(static_cast<int>(argv.size()), argv.data(), out, err, false), kExitUsage);
  EXPECT_NE(err.str().find("--port is for the serial link only"), std::string::npos);
  EXPECT_NE(err.str().find("usage:"), std::string::npos);
  EXPECT_TRUE(out.str().empty());
}

TEST(PortArgument, TakesNamesNumbersAndDeviceNodes) {
  EXPECT_EQ(ParsePortArgument("COM3").number, 3u);
  EXPECT_EQ(ParsePortArgument("com12").number, 12u);
  EXPECT_EQ(ParsePortArgument("\\\\.\\COM7").number, 7u);
  EXPECT_EQ(ParsePortArgument("5").number, 5u);
  EXPECT_EQ(ParsePortArgument("1024").number, 1024u);
  EXPECT_EQ(ParsePortArgument("/dev/ttyS1").number, 2u);
  EXPECT_EQ(ParsePortArgument("/dev/ttyUSB0").number, 33u);
  for (const char *bad : {"0", "1025", "COM", "COM0", "ttyS0", "99999999", "/tmp/not-a-port"}) {
    const PortChoice choice = ParsePortArgument(bad);
    EXPECT_EQ(choice.number, 0u) << bad;
    EXPECT_FALSE(choice.error.empty()) << bad;
  }
}

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsUtf8) {
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("升级完成！！！"), "\"升级完成！！！\"");
  EXPECT_EQ(JsonString("a\"b\\c\nd\r\te"), "\"a\\\"b\\\\c\\nd\\r\\te\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(std::string("nul\0end", 7)), "\"nul\\u0000end\"");
  EXPECT_EQ(JsonString("😀"), "\"😀\"");
  // Broken UTF-8: a lone continuation byte, a cut sequence, an overlong
  // form, a surrogate: each bad byte becomes U+FFFD.
  EXPECT_EQ(JsonString("\x80"), "\"\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xE5\x8D"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(ConsoleReporter, JsonOutputIsOneObjectPerLine) {
  std::ostringstream out;
  ConsoleReporter reporter(out, OutputStyle::kJson);
  reporter.OnUpgradeStatus(new std::string("测试波特率4800......"), 14);
  reporter.ShowMessageBox("Upgrade \"Complete\"！");
  reporter.ReportResult(true);
  std::istringstream lines(out.str());
  std::string status, message, result, extra;
  std::getline(lines, status);
  std::getline(lines, message);
  std::getline(lines, result);
  EXPECT_FALSE(std::getline(lines, extra));
  EXPECT_EQ(status.rfind("{\"event\":\"status\",\"text\":\"测试波特率4800......\",\"code\":14,\"ms\":", 0), 0u)
      << status;
  EXPECT_EQ(status.back(), '}');
  EXPECT_EQ(message, "{\"event\":\"message\",\"text\":\"Upgrade \\\"Complete\\\"！\"}");
  EXPECT_EQ(result, "{\"event\":\"result\",\"ok\":true}");
}

TEST(ConsoleReporter, TextOutputDrawsABarOnlyOnATerminal) {
  std::ostringstream plain, terminal;
  ConsoleReporter plainReporter(plain, OutputStyle::kText);
  ConsoleReporter terminalReporter(terminal, OutputStyle::kTextWithBar);
  for (ConsoleReporter *reporter : {&plainReporter, &terminalReporter}) {
    reporter->OnUpgradeStatus(new std::string("擦除成功！"), 300);
    reporter->ReportResult(false);
  }
  EXPECT_NE(plain.str().find("300  擦除成功！\n"), std::string::npos);
  EXPECT_EQ(plain.str().find('\x1b'), std::string::npos);
  EXPECT_NE(plain.str().find("Upgrade failed."), std::string::npos);
  EXPECT_NE(terminal.str().find("100%"), std::string::npos);

  // Bands: blue up to 100, green up to 200, red up to 300; others keep the bar.
  EXPECT_EQ(ConsoleReporter::BarFor(100).band, 0);
  EXPECT_EQ(ConsoleReporter::BarFor(101).band, 1);
  EXPECT_EQ(ConsoleReporter::BarFor(101).position, 1);
  EXPECT_EQ(ConsoleReporter::BarFor(250).position, 50);
  EXPECT_EQ(ConsoleReporter::BarFor(301).band, -1);
  EXPECT_EQ(ConsoleReporter::BarFor(-1).band, -1);
}

// A temporary file standing for a device node, given to a group.
class NodeOfGroup {
 public:
  explicit NodeOfGroup(gid_t gid) {
    const int fd = mkstemp(path_);
    if (fd >= 0) close(fd);
    ok_ = fd >= 0 && chown(path_, static_cast<uid_t>(-1), gid) == 0;
  }
  ~NodeOfGroup() { unlink(path_); }
  bool ok() const { return ok_; }
  std::string path() const { return path_; }

 private:
  char path_[32] = "/tmp/velloran-node-XXXXXX";
  bool ok_ = false;
};

TEST(BusyAdvice, NamesTheGroupThatOwnsTheNode) {
  const group *dialout = getgrnam("dialout");
  if (geteuid() != 0 || dialout == nullptr) GTEST_SKIP() << "needs root and the group dialout";
  const NodeOfGroup node(dialout->gr_gid);
  ASSERT_TRUE(node.ok());
  // A parallel port whose node the system gave to dialout: joining lp would
  // not help.
  const std::string advice = BusyAdvice("LPT1", node.path(), "lp");
  EXPECT_NE(advice.find("belongs to the group 'dialout'"), std::string::npos) << advice;
  EXPECT_NE(advice.find("sudo usermod -aG dialout $USER"), std::string::npos) << advice;
  EXPECT_EQ(advice.find("'lp'"), std::string::npos) << advice;
}

TEST(BusyAdvice, ANodeLeftToRootIsNoGroupToJoin) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to the group root";
  const NodeOfGroup node(0);
  ASSERT_TRUE(node.ok());
  const std::string advice = BusyAdvice("COM2", node.path(), "dialout");
  EXPECT_NE(advice.find("belongs to the group 'root'"), std::string::npos) << advice;
  EXPECT_NE(advice.find("only\n  root may open it"), std::string::npos) << advice;
  EXPECT_EQ(advice.find("usermod -aG root"), std::string::npos) << advice;
  EXPECT_NE(advice.find("usermod -aG dialout"), std::string::npos) << advice;
}

TEST(BusyAdvice, WithoutANodeTheUsualGroup) {
  const std::string advice = BusyAdvice("COM7", "", "dialout");
  EXPECT_NE(advice.find("belongs to the group 'dialout'"), std::string::npos) << advice;
  EXPECT_NE(advice.find("ls -l the device"), std::string::npos) << advice;
}

}  // namespace
}  // namespace velloran::cli
