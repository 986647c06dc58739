// Windows device names on Windows: names map to the system's own device
// names, COM ports always in the "\\.\COMn" form that reaches COM10 and up.
#include <gtest/gtest.h>

#include "device_names.h"

namespace velloran::platform {
namespace {

TEST(DeviceNamesWindows, ComNamesOpenThroughTheDeviceNamespace) {
  EXPECT_EQ(DeviceNodeForName("COM1"), "\\\\.\\COM1");
  EXPECT_EQ(DeviceNodeForName("com12"), "\\\\.\\COM12");
  EXPECT_EQ(DeviceNodeForName("\\\\.\\COM7"), "\\\\.\\COM7");
  EXPECT_EQ(DeviceNodeForName("LPT1"), "LPT1");
  EXPECT_EQ(ComPortNode(255), "\\\\.\\COM255");
  EXPECT_EQ(ComPortNode(1024), "\\\\.\\COM1024");
}

TEST(DeviceNamesWindows, AnythingElseHasNoNode) {
  EXPECT_EQ(DeviceNodeForName("COM0"), "");
  EXPECT_EQ(DeviceNodeForName("COM01"), "");
  EXPECT_EQ(DeviceNodeForName("COM1025"), "");
  EXPECT_EQ(DeviceNodeForName("COMX"), "");
  EXPECT_EQ(DeviceNodeForName("image.upd"), "");
  EXPECT_EQ(DeviceNodeForName("/dev/ttyS0"), "");
  EXPECT_EQ(ComPortNode(0), "");
  EXPECT_EQ(ComPortNode(1025), "");
}

TEST(DeviceNamesWindows, ComNumbers) {
  EXPECT_EQ(ComNumberFromName("COM5"), 5u);
  EXPECT_EQ(ComNumberFromName("\\\\.\\com17"), 17u);
  EXPECT_EQ(ComNumberFromName("LPT1"), 0u);
  EXPECT_EQ(ComNumberFromName("COM5 "), 0u);
  EXPECT_EQ(ComNumberFromName("COM-5"), 0u);
  EXPECT_EQ(ComNumberForNode("\\\\.\\COM9"), 9u);
  EXPECT_EQ(ComNumberForNode("COM9"), 0u);
  EXPECT_EQ(ComNumberForNode(ComPortNode(42)), 42u);
}

TEST(DeviceNamesWindows, DeviceNamesAreNeverFiles) {
  EXPECT_TRUE(IsDeviceName("COM3"));
  EXPECT_TRUE(IsDeviceName("lpt2"));
  EXPECT_TRUE(IsDeviceName("\\\\.\\USB#VID_1234"));
  EXPECT_FALSE(IsDeviceName("COM"));
  EXPECT_FALSE(IsDeviceName("firmware.upd"));
  EXPECT_FALSE(IsDeviceName("C:\\COM3"));
}

}  // namespace
}  // namespace velloran::platform
