#include "usb_printer.h"
#include "usb_tree_owner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "frame.h"

namespace velloran::sim {
namespace fs = std::filesystem;
namespace {

constexpr const char *kTreePrefix = "velloran-usb-";

void WriteText(const fs::path &file, const std::string &text) {
  std::ofstream out(file);
  out << text << '\n';
  if (!out) throw fs::filesystem_error("cannot write", file, std::make_error_code(std::errc::io_error));
}

void RelativeLink(const fs::path &target, const fs::path &link) {
  fs::create_directory_symlink(fs::relative(target, link.parent_path()), link);
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

// The bus of a port path: its number before the first '-'.
std::string BusOf(const std::string &portPath) {
  const size_t dash = portPath.find('-');
  return dash == std::string::npos || dash == 0 ? "1" : portPath.substr(0, dash);
}

std::string Lp(unsigned minor) { return "lp" + std::to_string(minor); }

}  // namespace

UsbPrinter::UsbPrinter(UsbPrinterOptions options)
    : PtyPrinter(options.model), options_(std::move(options)), minor_(options_.minor) {}

UsbPrinter::~UsbPrinter() { Stop(); }

fs::path UsbPrinter::NodePath() const { return DevRoot() / "usb" / Lp(minor_); }

fs::path UsbPrinter::DevicePath() const {
  return SysfsRoot() / "devices/pci0000:00/0000:00:14.0" / ("usb" + BusOf(options_.portPath)) / options_.portPath;
}

fs::path UsbPrinter::InterfacePath() const { return DevicePath() / (options_.portPath + ":1.0"); }

bool UsbPrinter::Prepare(std::string *error) {
  if (!options_.tree.empty()) {
    root_ = options_.tree;
  } else {
    RemoveOrphanedTrees(fs::temp_directory_path(), kTreePrefix);
    std::string pattern = (fs::temp_directory_path() / (std::string(kTreePrefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
      *error = "cannot create a temporary directory for the USB tree";
      return false;
    }
    root_ = pattern;
  }
  try {
    if (options_.tree.empty() && !RecordTreeOwner(root_)) {
      throw fs::filesystem_error("cannot record the owner", root_, std::make_error_code(std::errc::io_error));
    }
    if (fs::exists(DevicePath())) {
      throw fs::filesystem_error("another printer has this port path", DevicePath(),
                                 std::make_error_code(std::errc::file_exists));
    }
    BuildTree();
  } catch (const fs::filesystem_error &failure) {
    *error = std::string("building the USB tree: ") + failure.what();
    Cleanup();
    return false;
  }
  return true;
}

void UsbPrinter::BuildTree() {
  const fs::path device = DevicePath();
  const fs::path interface = InterfacePath();
  fs::create_directories(interface);
  fs::create_directories(SysfsRoot() / "bus/usb/drivers/usblp");
  WriteText(device / "idVendor", Hex4(options_.vendorId));
  WriteText(device / "idProduct", Hex4(options_.productId));
  WriteText(device / "manufacturer", "Velloran");
  WriteText(device / "product", "Simulated printer");
  if (!options_.serial.empty()) WriteText(device / "serial", options_.serial);
  WriteText(device / "busnum", BusOf(options_.portPath));
  WriteText(device / "devnum", std::to_string(options_.minor + 2));
  WriteText(interface / "bInterfaceClass", "07");
  WriteText(interface / "bInterfaceSubClass", "01");
  WriteText(interface / "bInterfaceProtocol", "02");
  if (!options_.ieee1284.empty()) WriteText(interface / "ieee1284_id", options_.ieee1284);
  if (options_.bound) {
    const fs::path driver = SysfsRoot() / "bus/usb/drivers/usblp";
    RelativeLink(driver, interface / "driver");
    RelativeLink(interface, driver / interface.filename());
  }
  AddClassDevice(options_.minor);
}

void UsbPrinter::AddClassDevice(unsigned minor) {
  const std::string lp = Lp(minor);
  const fs::path classDevice = InterfacePath() / "usbmisc" / lp;
  const fs::path usbmisc = SysfsRoot() / "class/usbmisc";
  for (const fs::path &dir : {classDevice, usbmisc, DevRoot() / "usb"}) fs::create_directories(dir);
  WriteText(classDevice / "dev", "180:" + std::to_string(minor));
  WriteText(classDevice / "uevent", "MAJOR=180\nMINOR=" + std::to_string(minor) + "\nDEVNAME=usb/" + lp);
  RelativeLink(InterfacePath(), classDevice / "device");
  RelativeLink(usbmisc, classDevice / "subsystem");
  RelativeLink(classDevice, usbmisc / lp);
  fs::create_symlink(SlavePath(), DevRoot() / "usb" / lp);
  minor_ = minor;
}

void UsbPrinter::RemoveClassDevice(unsigned minor) {
  std::error_code ignored;
  fs::remove(DevRoot() / "usb" / Lp(minor), ignored);
  fs::remove(SysfsRoot() / "class/usbmisc" / Lp(minor), ignored);
  fs::remove_all(InterfacePath() / "usbmisc" / Lp(minor), ignored);
}

void UsbPrinter::Cleanup() {
  if (reenumeration_.joinable()) {
    {
      std::lock_guard lock(reenumerationMutex_);
      cleaningUp_ = true;
    }
    reenumerationWake_.notify_all();
    reenumeration_.join();
  }
  if (root_.empty()) return;
  std::error_code ignored;
  if (options_.tree.empty()) {
    fs::remove_all(root_, ignored);
  } else {
    // A shared tree keeps the other printers' entries.
    RemoveClassDevice(minor_);
    fs::remove(SysfsRoot() / "bus/usb/drivers/usblp" / InterfacePath().filename(), ignored);
    fs::remove_all(DevicePath(), ignored);
  }
  root_.clear();
}

void UsbPrinter::OnInput(const uint8_t *data, size_t length, Clock::time_point when) {
  Answer(Feed(data, length), when);
  ReportNewFrames();
  if (options_.reenumeration && !reenumerationStarted_) StartReenumerationAfterBootSwitch();
}

void UsbPrinter::StartReenumerationAfterBootSwitch() {
  const bool switched = WithModel([](const BootLoaderModel &model) {
    return std::ranges::any_of(model.Frames(), [](const ReceivedFrame &frame) {
      return frame.command == CMD_ENTER_BOOT && frame.answered;
    });
  });
  if (!switched) return;
  reenumerationStarted_ = true;
  reenumeration_ = std::thread([this] { Reenumerate(); });
}

void UsbPrinter::Reenumerate() {
  // The tool reads the reply before the printer leaves the bus.
  WaitUntilDelivered(std::chrono::seconds(2));
  const unsigned before = minor_;
  RemoveClassDevice(before);
  Notice("left the bus (" + Lp(before) + " removed)");
  std::unique_lock lock(reenumerationMutex_);
  if (reenumerationWake_.wait_for(lock, std::chrono::milliseconds(options_.reenumeration->delayMs),
                                  [this] { return cleaningUp_; }))
    return;
  try {
    AddClassDevice(options_.reenumeration->minor);
    Notice("back on the bus as " + Lp(options_.reenumeration->minor));
  } catch (const fs::filesystem_error &failure) {
    Notice(std::string("could not come back: ") + failure.what());
  }
}

}  // namespace velloran::sim
