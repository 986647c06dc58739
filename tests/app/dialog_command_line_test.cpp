// velloran --help and --version: answered without a display, before Qt
// would look for one; other arguments are left to Qt.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "dialog_command_line.h"

namespace velloran {
namespace {

TEST(DialogCommandLine, AnswersHelpAndVersionAndLeavesTheRestToQt) {
  EXPECT_EQ(DialogInfoText({"--version"}), std::string("velloran ") + VELLORAN_RELEASE + "\n");
  const auto help = DialogInfoText({"-platform", "offscreen", "--help"});
  ASSERT_TRUE(help);
  EXPECT_EQ(help->rfind("Usage: velloran ", 0), 0u) << *help;
  EXPECT_EQ(DialogInfoText({"-h"}), help);
  EXPECT_FALSE(DialogInfoText({}));
  EXPECT_FALSE(DialogInfoText({"-platform", "offscreen", "-style", "fusion"}));
}

// The output and exit status of the dialog program run with no display at all.
std::pair<std::string, int> RunWithoutDisplay(const std::string &arguments) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                              std::string(VELLORAN_DIALOG_PROGRAM) + " " + arguments + " 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return {"", -1};
  std::string output;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(DialogCommandLine, TheProgramAnswersWithoutADisplay) {
  const auto [version, versionStatus] = RunWithoutDisplay("--version");
  EXPECT_EQ(versionStatus, 0);
  EXPECT_EQ(version, std::string("velloran ") + VELLORAN_RELEASE + "\n");
  const auto [help, helpStatus] = RunWithoutDisplay("--help");
  EXPECT_EQ(helpStatus, 0);
  EXPECT_NE(help.find("--version"), std::string::npos) << help;
}

}  // namespace
}  // namespace velloran
