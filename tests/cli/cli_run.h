// Running velloran-cli's command line in the test process and reading what
// it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "json_output.h"

namespace velloran::cli::test {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// The arguments after the program's name; the output is no terminal.
inline CliRun RunArgs(std::vector<std::string> args) {
  args.insert(args.begin(), "velloran-cli");
  std::vector<char *> argv;
  for (auto &arg : args) argv.push_back(arg.data());
  std::ostringstream out, err;
  const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, {});
  return {status, out.str(), err.str()};
}

inline std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// One JSON object a line.
inline std::vector<Json> JsonEvents(const std::string &text) {
  std::vector<Json> events;
  for (const std::string &line : SplitLines(text)) events.push_back(Json::parse(line));
  return events;
}

}  // namespace velloran::cli::test
