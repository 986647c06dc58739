// A usblp tree in a temporary directory, as the kernel and udev lay it out:
//   sys/class/usbmisc/lpN/device -> sys/devices/usbN/N-1/N-1:1.0
//   sys/devices/usbN/N-1/idVendor, idProduct (manufacturer, product, serial)
//   dev/usb/lpN  (a link to a pseudo-terminal, or absent)
// The environment points the platform at it while the tree lives.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace velloran::testing {

class FakeUsbTree {
 public:
  FakeUsbTree() {
    char pattern[] = "/tmp/velloran-usb-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("no temporary directory");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "sys/class/usbmisc");
    std::filesystem::create_directories(root_ / "dev/usb");
    setenv("VELLORAN_SYSFS_ROOT", (root_ / "sys").c_str(), 1);
    setenv("VELLORAN_DEV_ROOT", (root_ / "dev").c_str(), 1);
  }
  ~FakeUsbTree() {
    unsetenv("VELLORAN_SYSFS_ROOT");
    unsetenv("VELLORAN_DEV_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  FakeUsbTree(const FakeUsbTree &) = delete;
  FakeUsbTree &operator=(const FakeUsbTree &) = delete;

  // Interface lpN of a device with this vendor field; node: the path its
  // device node links to, or empty for an interface without a node.
  void AddPrinter(unsigned n, const std::string &vendor, const std::string &node,
                  const std::string &product = "0e15") {
    namespace fs = std::filesystem;
    const std::string id = std::to_string(n);
    fs::path device = root_ / "sys/devices" / ("usb" + id) / (id + "-1");
    fs::path interface = device / (id + "-1:1.0");
    fs::create_directories(interface);
    std::ofstream(device / "idVendor") << vendor << "\n";
    std::ofstream(device / "idProduct") << product << "\n";
    fs::path class_device = root_ / "sys/class/usbmisc" / ("lp" + id);
    fs::create_directories(class_device);
    fs::create_directory_symlink(interface, class_device / "device");
    if (!node.empty()) fs::create_symlink(node, root_ / "dev/usb" / ("lp" + id));
  }

  // The strings the device of interface lpN reports.
  void SetStrings(unsigned n, const std::string &manufacturer, const std::string &product,
                  const std::string &serial) {
    const std::string id = std::to_string(n);
    const std::filesystem::path device = root_ / "sys/devices" / ("usb" + id) / (id + "-1");
    std::ofstream(device / "manufacturer") << manufacturer << "\n";
    std::ofstream(device / "product") << product << "\n";
    std::ofstream(device / "serial") << serial << "\n";
  }
  // Interface lpN whose device has gone (its link leads nowhere).
  void AddUnpluggedPrinter(unsigned n) {
    namespace fs = std::filesystem;
    fs::path class_device = root_ / "sys/class/usbmisc" / ("lp" + std::to_string(n));
    fs::create_directories(class_device);
    fs::create_directory_symlink(root_ / "sys/devices/gone", class_device / "device");
  }

  // The device of interface lpN shows up again as lpM: the same port path
  // ("N-1") with a new index and node, as after a re-enumeration.
  void Reenumerate(unsigned n, unsigned m, const std::string &node) {
    namespace fs = std::filesystem;
    const std::string id = std::to_string(n);
    const fs::path interface = root_ / "sys/devices" / ("usb" + id) / (id + "-1") / (id + "-1:1.0");
    fs::remove_all(root_ / "sys/class/usbmisc" / ("lp" + id));
    fs::remove(root_ / "dev/usb" / ("lp" + id));
    const fs::path class_device = root_ / "sys/class/usbmisc" / ("lp" + std::to_string(m));
    fs::create_directories(class_device);
    fs::create_directory_symlink(interface, class_device / "device");
    fs::create_symlink(node, root_ / "dev/usb" / ("lp" + std::to_string(m)));
  }
  // Interface lpN and its node are gone (unplugged).
  void Remove(unsigned n) {
    std::filesystem::remove_all(root_ / "sys/class/usbmisc" / ("lp" + std::to_string(n)));
    std::filesystem::remove(root_ / "dev/usb" / ("lp" + std::to_string(n)));
  }

  const std::filesystem::path &root() const { return root_; }

 private:
  std::filesystem::path root_;
};

}  // namespace velloran::testing
