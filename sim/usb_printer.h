// A printer on USB. Linux shows a USB printer as the usblp device lpN:
// $SYSFS/class/usbmisc/lpN, whose `device` link is the USB interface and
// whose interface's parent holds idVendor and idProduct; the node is
// $DEV/usb/lpN. This printer builds such a tree in a temporary directory,
// with the node a link to its pseudo-terminal, so the tool finds it once it
// is given the two roots. It answers at any line speed.
#pragma once

#include <cstdint>
#include <filesystem>

#include "pty_printer.h"

namespace velloran::sim {

struct UsbPrinterOptions {
  uint16_t vendorId = 0x067B;
  uint16_t productId = 0x2305;
  unsigned minor = 0;  // the N of lpN
  // The interface is bound to the usblp driver (a `driver` link).
  bool bound = true;
  BootLoaderConfig model;
};

class UsbPrinter : public PtyPrinter {
 public:
  explicit UsbPrinter(UsbPrinterOptions options = {});
  ~UsbPrinter() override;

  // Give these to the tool as VELLORAN_SYSFS_ROOT and VELLORAN_DEV_ROOT.
  std::filesystem::path SysfsRoot() const { return root_ / "sys"; }
  std::filesystem::path DevRoot() const { return root_ / "dev"; }
  // $DEV/usb/lpN.
  std::filesystem::path NodePath() const;

 protected:
  bool Prepare(std::string *error) override;
  void Cleanup() override;
  void OnInput(const uint8_t *data, size_t length, Clock::time_point when) override;

 private:
  void BuildTree();

  const UsbPrinterOptions options_;
  std::filesystem::path root_;
};

}  // namespace velloran::sim
