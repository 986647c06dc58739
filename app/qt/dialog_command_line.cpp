// What `velloran --help` and `velloran --version` print.
#include "dialog_command_line.h"

#include "velloran_version.h"

namespace velloran {
namespace {

constexpr char kHelp[] = R"(Usage: velloran [--help | --version] [Qt options]

The firmware upgrade dialog. Pick the link the printer hangs on (USB, LPT1
or a serial port with its COM name), open the firmware image (.upd) and
press Load. The bar's colour shows the phase: red while the flash is
erased, blue as the packets go out, green once the printer has
acknowledged the end. Failures are explained in a message box.

Options:
  -h, --help     this text
      --version  the program's release
Qt's own options, such as -platform offscreen, are taken as well.

Environment:
  VELLORAN_DEVICE_MAP  "COM5=/dev/pts/3;LPT1=/dev/lp1" points single port
                       names at other device nodes
  VELLORAN_SYSFS_ROOT, VELLORAN_DEV_ROOT
                       where USB printers are looked up (default /sys and
                       /dev); velloran-sim usb prints the values to use

The command-line tool velloran-cli runs the same upgrade from a terminal.
)";

}  // namespace

std::optional<std::string> DialogInfoText(const std::vector<std::string> &args) {
  for (const std::string &arg : args) {
    if (arg == "--help" || arg == "-h") return std::string(kHelp);
    if (arg == "--version") return std::string("velloran ") + kVersion + "\n";
  }
  return std::nullopt;
}

}  // namespace velloran
