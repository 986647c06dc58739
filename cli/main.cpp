// velloran-cli: the upgrade procedures from a terminal or a script.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "terminal.h"
#include "upgrade_interruption.h"

int main(int argc, char **argv) {
  // Before any thread starts: they inherit the signals' blocking.
  velloran::cli::WatchForInterruption();
  const velloran::cli::OutputTerminal terminal{velloran::platform::StreamIsTerminal(stdout),
                                               velloran::platform::TerminalColumns(stdout),
                                               [] { return velloran::platform::TerminalColumns(stdout); }};
  const int status = velloran::cli::RunCli(argc, argv, std::cout, std::cerr, terminal);
  velloran::cli::EndLikeTheStop();
  return status;
}
