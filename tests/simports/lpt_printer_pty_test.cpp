// The parallel-port printer: takes frames, never answers, and stalls on
// request so that the host's writes block.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "frame.h"
#include "host_port.h"
#include "lpt_printer.h"

namespace velloran::sim {
namespace {

using namespace std::chrono;
using test::Frame;
using test::HostPort;

// Waits until the printer has read count bytes of what the host wrote.
bool WaitRead(const PtyPrinter &printer, uint64_t count) {
  const auto deadline = steady_clock::now() + seconds(3);
  while (printer.BytesRead() < count && steady_clock::now() < deadline) std::this_thread::sleep_for(milliseconds(5));
  return printer.BytesRead() >= count;
}

std::vector<uint8_t> DataFrameWithZeros(uint8_t fill) {
  std::vector<uint8_t> bytes = {0x00, 0x00};
  const auto frame = Frame(CMD_DATA, std::vector<uint8_t>(512, fill));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  return bytes;
}

LptPrinterOptions StallingAfter(std::optional<uint64_t> bytes, std::optional<uint32_t> packets) {
  LptPrinterOptions options;
  options.stallAfterBytes = bytes;
  options.stallAfterPackets = packets;
  return options;
}

TEST(LptPrinter, TakesFramesAndNeverAnswers) {
  LptPrinter printer;
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  HostPort host(printer.SlavePath());
  for (uint8_t command : {CMD_ENTER_BOOT, CMD_ENTER_BOOT, CMD_ERASE}) ASSERT_TRUE(host.Write(Frame(command)));
  ASSERT_TRUE(host.Write(DataFrameWithZeros(0x3C)));
  ASSERT_TRUE(WaitRead(printer, 27 + 523));
  EXPECT_TRUE(host.Read(1, milliseconds(200)).empty());
  const auto frames = printer.Frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[3].command, CMD_DATA);
  EXPECT_EQ(printer.FlashedImage(), std::vector<uint8_t>(512, 0x3C));
  EXPECT_FALSE(printer.Stalled());
}

TEST(LptPrinter, StallsAfterItsByteCountAndBlocksTheHost) {
  LptPrinter printer(StallingAfter(20, std::nullopt));
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  HostPort host(printer.SlavePath());
  ASSERT_TRUE(host.Write(Frame(CMD_ENTER_BOOT)));
  ASSERT_TRUE(host.Write(Frame(CMD_ERASE)));
  ASSERT_TRUE(host.Write(Frame(CMD_FINISH)));
  ASSERT_TRUE(WaitRead(printer, 20));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(printer.Stalled());
  EXPECT_EQ(printer.BytesTaken(), 20u);
  EXPECT_EQ(printer.Frames().size(), 2u);
  EXPECT_FALSE(host.Writable(milliseconds(300)));
}

TEST(LptPrinter, StallsAfterItsPacketCount) {
  LptPrinter printer(StallingAfter(std::nullopt, 2));
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  HostPort host(printer.SlavePath());
  ASSERT_TRUE(host.Write(Frame(CMD_ERASE)));
  for (uint8_t fill = 1; fill <= 2; ++fill) ASSERT_TRUE(host.Write(DataFrameWithZeros(fill)));
  ASSERT_TRUE(WaitRead(printer, 9 + 2 * 523));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_TRUE(printer.Stalled());
  EXPECT_FALSE(host.Writable(milliseconds(300)));
  EXPECT_EQ(printer.Counters().packetsReceived, 2u);
  EXPECT_EQ(printer.BytesTaken(), 9u + 2 * 523);
}

TEST(LptPrinter, ThatTakesNothingBlocksTheFirstWriteUntilItStops) {
  LptPrinter printer(StallingAfter(0, std::nullopt));
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  EXPECT_TRUE(printer.Stalled());
  HostPort host(printer.SlavePath());
  EXPECT_FALSE(host.Writable(milliseconds(200)));
  // A writer blocked on the port is released when the printer goes away.
  const int fd = dup(host.Fd());
  auto blocked = std::async(std::launch::async, [fd] {
    const uint8_t frame[9] = {0x1E, 0x12, 0x55, 0x00, 0x04, 0x00, 0x00, 0x77, 0xBA};
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return write(fd, frame, sizeof frame);
  });
  EXPECT_EQ(blocked.wait_for(milliseconds(200)), std::future_status::timeout);
  printer.Stop();
  ASSERT_EQ(blocked.wait_for(seconds(3)), std::future_status::ready);
  close(fd);
  EXPECT_EQ(printer.BytesTaken(), 0u);
}

}  // namespace
}  // namespace velloran::sim
