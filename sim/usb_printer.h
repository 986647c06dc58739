// A printer on USB. Linux shows a USB printer as the usblp device lpN:
// $SYSFS/class/usbmisc/lpN, whose `device` link is the USB interface and
// whose interface's parent, the USB device named after its port path
// ("1-2.3"), holds idVendor and idProduct; the node is $DEV/usb/lpN. This
// printer builds such a tree, with the node a link to its pseudo-terminal,
// so the tool finds it once it is given the two roots. Several printers may
// share one tree, each with its own index, port path and serial number. It
// answers at any line speed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "pty_printer.h"

namespace velloran::sim {

// After the first boot switch the printer leaves the bus and comes back
// later under another index, as a device that re-enumerates does.
struct UsbReenumeration {
  unsigned minor = 1;     // the N of its new lpN
  unsigned delayMs = 0;   // how long it is away
};

struct UsbPrinterOptions {
  uint16_t vendorId = 0x067B;
  uint16_t productId = 0x2305;
  unsigned minor = 0;  // the N of lpN
  // The interface is bound to the usblp driver (a `driver` link).
  bool bound = true;
  BootLoaderConfig model;
  // The tree to build in, shared with other printers and left in place;
  // empty: a temporary tree of its own, removed at the end.
  std::filesystem::path tree;
  std::string portPath = "1-1";
  std::string serial;    // none when empty
  std::string ieee1284;  // usblp's ieee1284_id; none when empty
  std::optional<UsbReenumeration> reenumeration;
};

class UsbPrinter : public PtyPrinter {
 public:
  explicit UsbPrinter(UsbPrinterOptions options = {});
  ~UsbPrinter() override;

  // Give these to the tool as VELLORAN_SYSFS_ROOT and VELLORAN_DEV_ROOT.
  std::filesystem::path SysfsRoot() const { return root_ / "sys"; }
  std::filesystem::path DevRoot() const { return root_ / "dev"; }
  // $DEV/usb/lpN (after a re-enumeration: the new N).
  std::filesystem::path NodePath() const;

 protected:
  bool Prepare(std::string *error) override;
  void Cleanup() override;
  void OnInput(const uint8_t *data, size_t length, Clock::time_point when) override;

 private:
  std::filesystem::path DevicePath() const;
  std::filesystem::path InterfacePath() const;
  void BuildTree();
  void AddClassDevice(unsigned minor);
  void RemoveClassDevice(unsigned minor);
  void StartReenumerationAfterBootSwitch();
  void Reenumerate();

  const UsbPrinterOptions options_;
  std::filesystem::path root_;
  std::atomic<unsigned> minor_;
  bool reenumerationStarted_ = false;  // port thread only
  std::thread reenumeration_;
  std::mutex reenumerationMutex_;
  std::condition_variable reenumerationWake_;
  bool cleaningUp_ = false;
};

}  // namespace velloran::sim
