// Points Windows device names at test nodes for the life of the object.
#pragma once

#include <cstdlib>
#include <string>

namespace velloran::testing {

class DeviceMap {
 public:
  explicit DeviceMap(const std::string &mapping) { setenv("VELLORAN_DEVICE_MAP", mapping.c_str(), 1); }
  ~DeviceMap() { unsetenv("VELLORAN_DEVICE_MAP"); }
  DeviceMap(const DeviceMap &) = delete;
  DeviceMap &operator=(const DeviceMap &) = delete;
};

}  // namespace velloran::testing
