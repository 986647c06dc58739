#include "usb_printer_pin.h"

#include "process_variable.h"
#include "procedures.h"
#include "usb_interface_list.h"
#include "usb_printer_selection.h"

namespace velloran {
namespace {

// No device has this port path: an upgrade that found no printer at its
// start finds none later either.
constexpr char kNoPrinter[] = "none";

// The port path of the printer that an open without a choice takes now;
// nothing when there is none.
std::optional<std::string> PortPathOfFirstUsbPrinter() {
  transport::SystemUsbInterfaceList interfaces;
  if (!interfaces.valid()) return std::nullopt;
  const std::optional<std::wstring> path = transport::ChooseUsbPrinter(interfaces);
  if (!path) return std::nullopt;
  const std::string portPath = transport::UsbPortPathOf(*path);
  if (portPath.empty()) return std::nullopt;
  return portPath;
}

}  // namespace

UsbPrinterPin::UsbPrinterPin(const std::string &portPath)
    : before_(platform::ProcessVariable(transport::kUsbPrinterPinVariable)) {
  platform::SetProcessVariable(transport::kUsbPrinterPinVariable, portPath.empty() ? kNoPrinter : portPath);
}

UsbPrinterPin::~UsbPrinterPin() {
  if (before_)
    platform::SetProcessVariable(transport::kUsbPrinterPinVariable, *before_);
  else
    platform::ClearProcessVariable(transport::kUsbPrinterPinVariable);
}

unsigned PinnedUsbUpgradeProc(void *parameter) {
  const UsbPrinterPin pin(PortPathOfFirstUsbPrinter().value_or(kNoPrinter));
  return UsbUpgradeProc(parameter);
}

}  // namespace velloran
