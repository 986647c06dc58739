// Windows device names mapped to device nodes: the default table, the
// overrides of VELLORAN_DEVICE_MAP and the way back from a node to its COM
// number.
#include "device_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace velloran::platform;

class DeviceNames : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv(kDeviceMapVariable); }
  void TearDown() override { unsetenv(kDeviceMapVariable); }
  static void Map(const char *value) { setenv(kDeviceMapVariable, value, 1); }
};

TEST_F(DeviceNames, DefaultTableAtItsEdges) {
  EXPECT_EQ(DeviceNodeForName("COM1"), "/dev/ttyS0");
  EXPECT_EQ(DeviceNodeForName("COM32"), "/dev/ttyS31");
  EXPECT_EQ(DeviceNodeForName("COM33"), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceNodeForName("COM64"), "/dev/ttyUSB31");
  EXPECT_EQ(DeviceNodeForName("COM65"), "/dev/ttyACM0");
  EXPECT_EQ(DeviceNodeForName("COM96"), "/dev/ttyACM31");
  EXPECT_EQ(DeviceNodeForName("COM97"), "");
  EXPECT_EQ(DeviceNodeForName("LPT1"), "/dev/lp0");
  EXPECT_EQ(DeviceNodeForName("LPT3"), "/dev/lp2");
  EXPECT_EQ(ComPortNode(40), "/dev/ttyUSB7");
  EXPECT_EQ(ComPortNode(0), "");
}

TEST_F(DeviceNames, PrefixAndCaseDoNotMatterButTheNumberMust) {
  EXPECT_EQ(DeviceNodeForName("\\\\.\\COM3"), "/dev/ttyS2");
  EXPECT_EQ(DeviceNodeForName("com3"), "/dev/ttyS2");
  EXPECT_EQ(DeviceNodeForName("\\\\.\\lpt2"), "/dev/lp1");
  for (const char *bad : {"COM", "COM0", "COM03", "COM3x", "COM-1", "COM1025", "LPT0", "\\\\.\\FOO",
                          "xCOM3", "COM 3"}) {
    EXPECT_EQ(DeviceNodeForName(bad), "") << bad;
  }
  EXPECT_TRUE(IsDeviceName("\\\\.\\FOO"));  // a device, never a file of that name
  EXPECT_TRUE(IsDeviceName("lpt1"));
  EXPECT_TRUE(IsDeviceName("COM07"));  // no node, but no file name either
  EXPECT_FALSE(IsDeviceName("COM"));
  EXPECT_FALSE(IsDeviceName("COMMAND.TXT"));
  EXPECT_FALSE(IsDeviceName("image.upd"));
  EXPECT_EQ(DeviceNodeForName("/dev/pts/9"), "/dev/pts/9");  // a path as it stands
  EXPECT_EQ(DeviceNodeForName("relative/path"), "");
}

TEST_F(DeviceNames, OverridesReplaceSingleNamesAndAreReadEachTime) {
  Map("COM5=/dev/pts/3;LPT1=/dev/pts/4");
  EXPECT_EQ(DeviceNodeForName("COM5"), "/dev/pts/3");
  EXPECT_EQ(DeviceNodeForName("\\\\.\\com5"), "/dev/pts/3");
  EXPECT_EQ(DeviceNodeForName("LPT1"), "/dev/pts/4");
  EXPECT_EQ(DeviceNodeForName("COM6"), "/dev/ttyS5");  // the others keep the table
  EXPECT_EQ(DeviceNodeForName("COM200"), "");

  Map(" com200 = /dev/pts/7 ; broken ; =x; COM5= ;COM5=/dev/pts/8");
  EXPECT_EQ(DeviceNodeForName("COM200"), "/dev/pts/7");
  EXPECT_EQ(DeviceNodeForName("COM5"), "/dev/pts/8");  // the last entry wins
  EXPECT_EQ(ComPortNode(1000), "");
}

TEST_F(DeviceNames, ComNumberFromName) {
  EXPECT_EQ(ComNumberFromName("COM7"), 7u);
  EXPECT_EQ(ComNumberFromName("\\\\.\\com255"), 255u);
  EXPECT_EQ(ComNumberFromName("LPT1"), 0u);
  EXPECT_EQ(ComNumberFromName("COM07"), 0u);
  EXPECT_EQ(ComNumberFromName("/dev/ttyS0"), 0u);
}

TEST_F(DeviceNames, NodeBackToItsComNumber) {
  EXPECT_EQ(ComNumberForNode("/dev/ttyS0"), 1u);
  EXPECT_EQ(ComNumberForNode("/dev/ttyUSB0"), 33u);
  EXPECT_EQ(ComNumberForNode("/dev/ttyACM31"), 96u);
  EXPECT_EQ(ComNumberForNode("/dev/ttyACM32"), 0u);
  EXPECT_EQ(ComNumberForNode("/dev/ttyS01"), 0u);
  EXPECT_EQ(ComNumberForNode("/dev/pts/3"), 0u);
  EXPECT_EQ(ComNumberForNode(""), 0u);

  Map("COM150=/dev/pts/3;COM1=/dev/pts/5");
  EXPECT_EQ(ComNumberForNode("/dev/pts/3"), 150u);
  EXPECT_EQ(ComNumberForNode("/dev/ttyS0"), 0u);  // COM1 leads elsewhere now
  EXPECT_EQ(ComNumberForNode("/dev/pts/5"), 1u);
  Map("COM9=/dev/pts/3;COM4=/dev/pts/3");
  EXPECT_EQ(ComNumberForNode("/dev/pts/3"), 4u);  // the lowest of several
}

TEST_F(DeviceNames, LinkCountsAsTheNodeItLeadsTo) {
  char dir[] = "/tmp/velloran-names-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string node = std::string(dir) + "/node";
  std::string link = std::string(dir) + "/by-id";
  FILE *f = fopen(node.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
  ASSERT_EQ(symlink(node.c_str(), link.c_str()), 0);
  std::string map = "COM12=" + node;
  Map(map.c_str());
  EXPECT_EQ(ComNumberForNode(link), 12u);
  unlink(link.c_str());
  unlink(node.c_str());
  rmdir(dir);
}

// The advice for a node the user may not open names the group that really
// owns it (lp or dialout on Debian, root where no device manager ran).
TEST_F(DeviceNames, GroupOfANodeIsTheOwnersName) {
  char path[] = "/tmp/velloran-node-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  // Root can give the file to another group; anyone else checks their own.
  const group *lp = getgrnam("lp");
  if (geteuid() == 0 && lp != nullptr) {
    ASSERT_EQ(chown(path, static_cast<uid_t>(-1), lp->gr_gid), 0);
    EXPECT_EQ(DeviceNodeGroup(path), "lp");
  } else {
    struct stat info {};
    ASSERT_EQ(stat(path, &info), 0);
    const group *own = getgrgid(info.st_gid);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(DeviceNodeGroup(path), own->gr_name);
  }
  unlink(path);
  EXPECT_EQ(DeviceNodeGroup(path), "");
  EXPECT_EQ(DeviceNodeGroup(""), "");
}

}  // namespace
