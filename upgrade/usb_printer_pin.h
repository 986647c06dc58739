// Keeps every open of the USB procedure on one printer for a whole upgrade:
// the procedure opens the printer anew at each step, and a printer that
// re-enumerates must not let a step reach another one.
#pragma once

#include <optional>
#include <string>

namespace velloran {

// While it lives, the transport's OpenUsb opens only the printer at this
// port path (none when it is not there); the choice before it comes back
// at its end. Made and ended while no other thread reads the environment.
class UsbPrinterPin {
 public:
  explicit UsbPrinterPin(const std::string &portPath);
  ~UsbPrinterPin();
  UsbPrinterPin(const UsbPrinterPin &) = delete;
  UsbPrinterPin &operator=(const UsbPrinterPin &) = delete;

 private:
  std::optional<std::string> before_;
};

// UsbUpgradeProc kept on the printer that its first open finds: the one an
// open takes at its start (with none there, every open fails as an open
// failure does).
unsigned PinnedUsbUpgradeProc(void *);

}  // namespace velloran
