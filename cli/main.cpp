// velloran-cli: the upgrade procedures from a terminal or a script.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "terminal.h"

int main(int argc, char **argv) {
  const velloran::cli::OutputTerminal terminal{velloran::platform::StreamIsTerminal(stdout),
                                               velloran::platform::TerminalColumns(stdout)};
  return velloran::cli::RunCli(argc, argv, std::cout, std::cerr, terminal);
}
