// A pseudo-terminal pair standing in for the printer's end of a cable. The
// simulator keeps the master; the tool opens the slave like any serial device.
//
// The master also keeps one descriptor of the slave open: without it the
// master reports a hang-up whenever the tool closes the port between steps,
// and that descriptor lets the simulator stop the slave's output the way a
// busy printer stops its host.
#pragma once

#include <optional>
#include <string>

namespace velloran::sim {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal &) = delete;
  PseudoTerminal &operator=(const PseudoTerminal &) = delete;

  // Creates the pair with the slave in raw mode (8 data bits, no echo, no
  // line editing). On failure returns false and says why in error.
  bool Open(std::string *error);
  void Close();

  const std::string &SlavePath() const { return slavePath_; }
  // Non-blocking master descriptor: reads give what the tool wrote, writes
  // reach the tool.
  int MasterFd() const { return master_; }

  // The line speed the slave is set to, in baud (on Linux the master reports
  // the slave's settings); nullopt when it is none of the standard rates.
  std::optional<unsigned> SlaveBaudRate() const;
  // Sets the slave's line speed, as a host program would.
  bool SetSlaveBaudRate(unsigned baud);

  // Stops the slave's output: the tool's writes block, as they do on a port
  // whose printer signals busy (Close lets them go again).
  bool SuspendSlaveOutput();

  // Bytes written to the master that the tool has not read yet.
  size_t PendingForSlave() const;

 private:
  int master_ = -1;
  int slaveHold_ = -1;
  std::string slavePath_;
};

// The termios speed constant of a baud rate; nullopt for unknown ones.
std::optional<unsigned> SpeedOfBaud(unsigned baud);

}  // namespace velloran::sim
