// The neighbour table as /proc/net/arp gives it, and the size protocol of
// GetIpNetTable.
#include "posix/arp_table.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace {

using velloran::platform::ParseArpTable;

unsigned FakeIndex(const char *device) {
  if (std::strcmp(device, "eth0") == 0) return 2;
  if (std::strcmp(device, "wlan0") == 0) return 3;
  return 0;
}

TEST(ArpTable, RowsCarryAddressHardwareAddressInterfaceAndType) {
  std::istringstream text(
      "IP address       HW type     Flags       HW address            Mask     Device\n"
      "192.0.2.1        0x1         0x2         02:fc:00:00:00:05     *        eth0\n"
      "192.0.2.7        0x1         0x6         0a:0b:0c:0d:0e:0f     *        wlan0\n"
      "192.0.2.9        0x1         0x0         00:00:00:00:00:00     *        eth0\n");
  std::vector<MIB_IPNETROW> rows = ParseArpTable(text, FakeIndex);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].dwAddr, inet_addr("192.0.2.1"));
  EXPECT_EQ(rows[0].dwIndex, 2u);
  EXPECT_EQ(rows[0].dwType, MIB_IPNET_TYPE_DYNAMIC);
  ASSERT_EQ(rows[0].dwPhysAddrLen, 6u);
  EXPECT_EQ(rows[0].bPhysAddr[0], 0x02);
  EXPECT_EQ(rows[0].bPhysAddr[1], 0xFC);
  EXPECT_EQ(rows[0].bPhysAddr[5], 0x05);
  EXPECT_EQ(rows[1].dwIndex, 3u);
  EXPECT_EQ(rows[1].dwType, MIB_IPNET_TYPE_STATIC);
  EXPECT_EQ(rows[2].dwType, MIB_IPNET_TYPE_INVALID);
}

TEST(ArpTable, LinesThatCannotBeReadAreLeftOut) {
  std::istringstream text(
      "IP address       HW type     Flags       HW address            Mask     Device\n"
      "not-an-address   0x1         0x2         02:fc:00:00:00:05     *        eth0\n"
      "192.0.2.2        0x1         0x2         02:fc:00:00:00:05     *        gone0\n"
      "192.0.2.3        0x1         0x2         02:fc:00:00:00:05:01:02:03 *   eth0\n"
      "192.0.2.4        0x1         zz          02:fc:00:00:00:05     *        eth0\n"
      "192.0.2.5        0x1\n"
      "192.0.2.6        0x1         0x2         02:fc:00:00:00:06     *        eth0\n");
  std::vector<MIB_IPNETROW> rows = ParseArpTable(text, FakeIndex);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].dwAddr, inet_addr("192.0.2.6"));
}

TEST(IpNetTable, AsksForItsSizeThenFillsASortedTable) {
  DWORD size = 0;
  DWORD first = GetIpNetTable(nullptr, &size, TRUE);
  if (first == ERROR_NO_DATA) GTEST_SKIP() << "the neighbour table is empty";
  ASSERT_EQ(first, ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GE(size, sizeof(MIB_IPNETTABLE));
  std::vector<DWORD> storage(size / sizeof(DWORD) + 16);
  auto *table = reinterpret_cast<PMIB_IPNETTABLE>(storage.data());
  DWORD too_small = size - 1;
  EXPECT_EQ(GetIpNetTable(table, &too_small, TRUE), ERROR_INSUFFICIENT_BUFFER);
  DWORD enough = static_cast<DWORD>(storage.size() * sizeof(DWORD));
  ASSERT_EQ(GetIpNetTable(table, &enough, TRUE), NO_ERROR);
  const MIB_IPNETROW *rows = table->table;
  for (DWORD i = 1; i < table->dwNumEntries; ++i)
    EXPECT_LE(ntohl(rows[i - 1].dwAddr), ntohl(rows[i].dwAddr));
  EXPECT_EQ(GetIpNetTable(table, nullptr, TRUE), ERROR_INVALID_PARAMETER);
}

TEST(IpNetTable, FlushOfAnUnknownInterfaceIsRefused) {
  EXPECT_EQ(FlushIpNetTable(0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(FlushIpNetTable(999999), ERROR_INVALID_PARAMETER);
}

}  // namespace
