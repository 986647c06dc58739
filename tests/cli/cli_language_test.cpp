// velloran-cli's help and command-line errors, as the program prints them
// under a Chinese and an English locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_process.h"

namespace velloran::cli {
namespace {

using namespace std::chrono_literals;

struct Printed {
  int status = -1;
  std::string text;  // standard error, or the first JSON event's text
  std::string en;    // the JSON event's English
};

Printed RunCliIn(const std::string &lang, std::vector<std::string> args) {
  test::CliProcess cli(std::move(args), {"env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "LANG=" + lang});
  const test::CliProcess::Exit exit = cli.Finish(10s);
  Printed printed{exit.ShellStatus(), {}, {}};
  for (const std::string &line : cli.ErrLines()) printed.text += line + "\n";
  for (const std::string &line : cli.OutLines()) printed.text += line + "\n";
  if (!cli.OutLines().empty() && cli.OutLines().front().front() == '{') {
    const Json event = Json::parse(cli.OutLines().front());
    printed.text = event.value("text", "");
    printed.en = event.value("en", "");
  }
  return printed;
}

// CLI11's English words and sentences, none of which a Chinese run shows.
const char *const kEnglish[] = {"is required", "Usage", "OPTIONS", "REQUIRED", "Options", "Positionals",
                                "Subcommands", "subcommand", "TEXT", "The following argument", "not expected", " not in ",
                                "excludes", "needs a value", "Print this help", "Exit status", "unknown"};

void ExpectChinese(const std::string &text, const std::string &what) {
  for (const char *english : kEnglish) EXPECT_EQ(text.find(english), std::string::npos) << what << ": " << text;
}

TEST(CliLanguage, HelpAndUsageErrorsSpeakTheLocalesLanguage) {
  struct BadLine {
    std::vector<std::string> args;
    std::string named;  // the option or value the error names
  };
  const std::vector<BadLine> bad = {
      {{}, "upgrade"},
      {{"--", "upgrade"}, "upgrade"},
      {{"frob", "a.upd"}, "frob"},
      {{"-V"}, "-V"},
      {{"upgrade", "--link", "lpt", "--fast", "a.upd"}, "--fast"},
      {{"upgrade", "a.upd"}, "--link"},
      {{"upgrade", "--lonk", "usb", "a.upd"}, "--lonk"},  // a typo, not the missing --link
      {{"upgrade", "--link"}, "--link"},
      {{"upgrade", "--link", "w\x1b[2Ji", "a.upd"}, "w\\x1B[2Ji"},
      {{"upgrade", "--link", "serial", "--jobs", "0", "a.upd"}, "--jobs"},
      {{"upgrade", "--link", "usb", "-q", "-v", "a.upd"}, "--verbose"},
      {{"upgrade", "--link", "usb", "--link", "lpt", "a.upd"}, "--link"},
      {{"upgrade", "--link", "lpt", "--port", "LPT1", "--port", "LPT1", "a.upd"}, "LPT1"},
      {{"upgrade", "--link", "usb", "--baud", "9600", "a.upd"}, "--baud"},
      {{"info", "a.upd", "b.upd"}, "b.upd"},
      {{"ports", "--json", "--lang", "fr"}, "fr"},
  };
  for (const char *lang : {"zh_CN.UTF-8", "C"}) {
    const bool chinese = lang[0] == 'z';
    for (const BadLine &line : bad) {
      const std::string what = std::string(lang) + " " + testing::PrintToString(line.args);
      const Printed printed = RunCliIn(lang, line.args);
      EXPECT_EQ(printed.status, 2) << what;
      EXPECT_NE(printed.text.find(line.named), std::string::npos) << what << ": " << printed.text;
      if (!printed.en.empty()) {
        EXPECT_NE(printed.en.find(line.named), std::string::npos) << what << ": " << printed.en;
      }
      // JSON carries the Chinese text in every locale.
      if (chinese || !printed.en.empty()) {
        EXPECT_NE(printed.text.find("命令行错误"), std::string::npos) << what << ": " << printed.text;
        ExpectChinese(printed.text, what);
      } else {
        EXPECT_NE(printed.text.find("(see velloran-cli --help)"), std::string::npos) << what << ": " << printed.text;
      }
    }
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--help"}, {"upgrade", "--help"}, {"ports", "-h"}, {"info", "--help"}}) {
      const std::string what = std::string(lang) + " " + testing::PrintToString(args);
      const Printed help = RunCliIn(lang, args);
      EXPECT_EQ(help.status, 0) << what;
      EXPECT_NE(help.text.find(chinese ? "用法: velloran-cli" : "Usage: velloran-cli"), std::string::npos) << what;
      if (chinese) ExpectChinese(help.text, what);
    }
  }
  // --lang decides over the locale.
  EXPECT_NE(RunCliIn("zh_CN.UTF-8", {"--lang", "en", "frob"}).text.find("unknown command 'frob'"), std::string::npos);
  EXPECT_NE(RunCliIn("C", {"info", "--lang=zh", "--help"}).text.find("用法"), std::string::npos);
}

}  // namespace
}  // namespace velloran::cli
