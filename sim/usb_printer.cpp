#include "usb_printer.h"
#include "usb_tree_owner.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

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

}  // namespace

UsbPrinter::UsbPrinter(UsbPrinterOptions options) : PtyPrinter(options.model), options_(options) {}

UsbPrinter::~UsbPrinter() { Stop(); }

fs::path UsbPrinter::NodePath() const { return DevRoot() / "usb" / ("lp" + std::to_string(options_.minor)); }

bool UsbPrinter::Prepare(std::string *error) {
  RemoveOrphanedTrees(fs::temp_directory_path(), kTreePrefix);
  std::string pattern = (fs::temp_directory_path() / (std::string(kTreePrefix) + "XXXXXX")).string();
  if (!mkdtemp(pattern.data())) {
    *error = "cannot create a temporary directory for the USB tree";
    return false;
  }
  root_ = pattern;
  try {
    if (!RecordTreeOwner(root_)) {
      throw fs::filesystem_error("cannot record the owner", root_, std::make_error_code(std::errc::io_error));
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
  const std::string lp = "lp" + std::to_string(options_.minor);
  const fs::path sys = SysfsRoot();
  const fs::path device = sys / "devices/pci0000:00/0000:00:14.0/usb1/1-1";
  const fs::path interface = device / "1-1:1.0";
  const fs::path classDevice = interface / "usbmisc" / lp;
  const fs::path driver = sys / "bus/usb/drivers/usblp";
  const fs::path usbmisc = sys / "class/usbmisc";
  for (const fs::path &dir : {classDevice, driver, usbmisc, DevRoot() / "usb"}) fs::create_directories(dir);

  WriteText(device / "idVendor", Hex4(options_.vendorId));
  WriteText(device / "idProduct", Hex4(options_.productId));
  WriteText(device / "manufacturer", "Velloran");
  WriteText(device / "product", "Simulated printer");
  WriteText(interface / "bInterfaceClass", "07");
  WriteText(interface / "bInterfaceSubClass", "01");
  WriteText(interface / "bInterfaceProtocol", "02");
  WriteText(classDevice / "dev", "180:" + std::to_string(options_.minor));
  WriteText(classDevice / "uevent",
            "MAJOR=180\nMINOR=" + std::to_string(options_.minor) + "\nDEVNAME=usb/" + lp);
  RelativeLink(interface, classDevice / "device");
  RelativeLink(usbmisc, classDevice / "subsystem");
  RelativeLink(classDevice, usbmisc / lp);
  if (options_.bound) {
    RelativeLink(driver, interface / "driver");
    RelativeLink(interface, driver / "1-1:1.0");
  }
  fs::create_symlink(SlavePath(), NodePath());
}

void UsbPrinter::Cleanup() {
  if (root_.empty()) return;
  std::error_code ignored;
  fs::remove_all(root_, ignored);
  root_.clear();
}

void UsbPrinter::OnInput(const uint8_t *data, size_t length, Clock::time_point when) {
  Answer(Feed(data, length), when);
  ReportNewFrames();
}

}  // namespace velloran::sim
