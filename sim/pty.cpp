#include "pty.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace velloran::sim {
namespace {

constexpr std::pair<unsigned, speed_t> kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::string Failure(const std::string &what) { return what + ": " + std::strerror(errno); }

std::optional<unsigned> BaudOfSpeed(unsigned speed) {
  for (const auto &[baud, constant] : kRates)
    if (constant == speed) return baud;
  return std::nullopt;
}

}  // namespace

std::optional<unsigned> SpeedOfBaud(unsigned baud) {
  for (const auto &[rate, constant] : kRates)
    if (rate == baud) return static_cast<unsigned>(constant);
  return std::nullopt;
}

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open(std::string *error) {
  Close();
  // Says why (errno of the step that failed) and leaves nothing open.
  const auto fail = [&](const std::string &what) {
    *error = Failure(what);
    Close();
    return false;
  };
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) return fail("posix_openpt");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
    return fail("preparing the pseudo-terminal");
  slavePath_ = name;
  // Settings made through the master apply to the slave: raw, so that the
  // slave neither echoes nor edits the bytes before the tool sets its own.
  termios settings{};
  if (tcgetattr(master_, &settings) != 0) return fail("tcgetattr");
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  if (tcsetattr(master_, TCSANOW, &settings) != 0) return fail("tcsetattr");
  slaveHold_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveHold_ < 0) return fail("opening " + slavePath_);
  return true;
}

void PseudoTerminal::Close() {
  if (slaveHold_ >= 0) {
    // A writer blocked by a suspended output must not stay blocked.
    tcflow(slaveHold_, TCOON);
    close(slaveHold_);
    slaveHold_ = -1;
  }
  if (master_ >= 0) {
    close(master_);
    master_ = -1;
  }
  slavePath_.clear();
}

std::optional<unsigned> PseudoTerminal::SlaveBaudRate() const {
  termios settings{};
  if (master_ < 0 || tcgetattr(master_, &settings) != 0) return std::nullopt;
  return BaudOfSpeed(cfgetospeed(&settings));
}

bool PseudoTerminal::SetSlaveBaudRate(unsigned baud) {
  const auto speed = SpeedOfBaud(baud);
  termios settings{};
  if (!speed || master_ < 0 || tcgetattr(master_, &settings) != 0) return false;
  cfsetispeed(&settings, *speed);
  cfsetospeed(&settings, *speed);
  return tcsetattr(master_, TCSANOW, &settings) == 0;
}

bool PseudoTerminal::SuspendSlaveOutput() { return slaveHold_ >= 0 && tcflow(slaveHold_, TCOOFF) == 0; }

size_t PseudoTerminal::PendingForSlave() const {
  int queued = 0;
  if (slaveHold_ < 0 || ioctl(slaveHold_, FIONREAD, &queued) != 0) return 0;
  return static_cast<size_t>(queued);
}

}  // namespace velloran::sim
