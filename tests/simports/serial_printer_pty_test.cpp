// The serial printer on a pseudo-terminal: it hears only its own line speed,
// can take the line's time, changes rate after the boot switch, and sends
// replies as the model's faults shape them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "frame.h"
#include "host_port.h"
#include "serial_printer.h"

namespace velloran::sim {
namespace {

using namespace std::chrono;
using test::Frame;
using test::HostPort;
using test::Reply;

const std::vector<uint8_t> kZeros(16, 0);

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

double Ms(steady_clock::duration d) { return duration<double, std::milli>(d).count(); }

SerialPrinterOptions AtRate(unsigned baud, bool wireTime = false) {
  SerialPrinterOptions options;
  options.baud = baud;
  options.wireTime = wireTime;
  return options;
}

struct RunningPrinter {
  explicit RunningPrinter(SerialPrinterOptions options) : printer(options) {
    std::string error;
    started = printer.Start(&error);
    EXPECT_TRUE(started) << error;
  }
  SerialPrinter printer;
  bool started = false;
};

TEST(SerialPrinter, AnswersTheProbeOnlyAtItsOwnRate) {
  RunningPrinter running(AtRate(19200));
  ASSERT_TRUE(running.started);
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.IsOpen());

  for (unsigned wrong : {4800u, 9600u, 115200u}) {
    ASSERT_TRUE(host.SetBaudRate(wrong));
    ASSERT_TRUE(host.Write(Concat(kZeros, Frame(CMD_PROBE))));
    EXPECT_TRUE(host.Read(9, milliseconds(250)).empty()) << "answered at " << wrong;
  }
  EXPECT_EQ(running.printer.IgnoredBytes(), 3u * 25u);
  EXPECT_EQ(running.printer.Counters().frames, 0u);

  ASSERT_TRUE(host.SetBaudRate(19200));
  ASSERT_TRUE(host.Write(Concat(kZeros, Frame(CMD_PROBE))));
  EXPECT_EQ(host.Read(9, milliseconds(2000)), Reply(ST_OK));
  const auto frames = running.printer.Frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].command, CMD_PROBE);
}

TEST(SerialPrinter, BytesAtAnotherRateSpoilTheFrameTheyFallInto) {
  RunningPrinter running(AtRate(9600));
  ASSERT_TRUE(running.started);
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(9600));
  const auto probe = Frame(CMD_PROBE);
  ASSERT_TRUE(host.Write({probe.begin(), probe.begin() + 5}));
  std::this_thread::sleep_for(milliseconds(100));
  ASSERT_TRUE(host.SetBaudRate(4800));
  ASSERT_TRUE(host.Write({0x55}));
  std::this_thread::sleep_for(milliseconds(100));
  ASSERT_TRUE(host.SetBaudRate(9600));
  ASSERT_TRUE(host.Write({probe.begin() + 5, probe.end()}));
  EXPECT_TRUE(host.Read(9, milliseconds(300)).empty());
  // A whole frame afterwards is answered.
  ASSERT_TRUE(host.Write(probe));
  EXPECT_EQ(host.Read(9, milliseconds(2000)), Reply(ST_OK));
}

TEST(SerialPrinter, LosesAReplyThatComesAfterTheHostChangedItsRate) {
  RunningPrinter running(AtRate(9600));
  ASSERT_TRUE(running.started);
  ReplyFault late;
  late.delay = milliseconds(300);
  running.printer.WithModel([&](BootLoaderModel &model) { model.FailStep(1, late); });
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(9600));
  ASSERT_TRUE(host.Write(Frame(CMD_PROBE)));
  std::this_thread::sleep_for(milliseconds(50));
  ASSERT_TRUE(host.SetBaudRate(19200));
  EXPECT_TRUE(host.Read(9, milliseconds(600)).empty());
  // Back at the printer's rate, the next probe is answered at once.
  ASSERT_TRUE(host.SetBaudRate(9600));
  ASSERT_TRUE(host.Write(Frame(CMD_PROBE)));
  EXPECT_EQ(host.Read(9, milliseconds(2000)), Reply(ST_OK));
}

TEST(SerialPrinter, SwitchesToItsBootRateAfterEnteringBootMode) {
  SerialPrinterOptions options = AtRate(9600);
  options.baudAfterBoot = 57600;
  RunningPrinter running(options);
  ASSERT_TRUE(running.started);
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(9600));
  // A probe right behind the boot switch comes at the old rate, too late.
  ASSERT_TRUE(host.Write(Concat(Frame(CMD_ENTER_BOOT), Frame(CMD_PROBE))));
  // The boot reply still goes out at the old rate: 00, base 2, exponent 0.
  EXPECT_EQ(host.Read(12, milliseconds(2000)), Reply(ST_BOOT_ENTERED, {0x00, 0x02, 0x00}));
  EXPECT_EQ(running.printer.BaudRate(), 57600u);
  EXPECT_TRUE(host.Read(9, milliseconds(250)).empty());
  EXPECT_EQ(running.printer.IgnoredBytes(), 9u);

  ASSERT_TRUE(host.Write(Frame(CMD_PROBE)));
  EXPECT_TRUE(host.Read(9, milliseconds(250)).empty());
  ASSERT_TRUE(host.SetBaudRate(57600));
  ASSERT_TRUE(host.Write(Concat(kZeros, Frame(CMD_PROBE))));
  EXPECT_EQ(host.Read(9, milliseconds(2000)), Reply(ST_OK));
}

// The time from writing a frame to having its whole reply, in milliseconds.
double ExchangeMs(bool wireTime, unsigned baud, const std::vector<uint8_t> &frame, size_t replyLength) {
  BootLoaderConfig model;
  model.requireBootMode = false;
  model.requireErase = false;
  SerialPrinterOptions options = AtRate(baud, wireTime);
  options.model = model;
  RunningPrinter running(options);
  if (!running.started) return -1;
  HostPort host(running.printer.SlavePath());
  host.SetBaudRate(baud);
  const auto start = steady_clock::now();
  host.Write(frame);
  const auto reply = host.Read(replyLength, milliseconds(5000));
  const auto elapsed = steady_clock::now() - start;
  EXPECT_EQ(reply.size(), replyLength);
  return Ms(elapsed);
}

TEST(SerialPrinter, WireTimeMakesAnExchangeTakeTheLinesTime) {
  // 991 payload bytes make a 1000-byte data frame; with its 9-byte reply,
  // 1009 bytes of 10 bits at 19200 baud: 525.5 ms.
  const auto frame = Frame(CMD_DATA, std::vector<uint8_t>(991, 0xA5));
  ASSERT_EQ(frame.size(), 1000u);
  const double expected = 1009 * 10 * 1000.0 / 19200;
  const double paced = ExchangeMs(true, 19200, frame, 9);
  EXPECT_GE(paced, expected * 0.95);
  EXPECT_LE(paced, expected + 500);
  const double free = ExchangeMs(false, 19200, frame, 9);
  EXPECT_GE(free, 0);
  EXPECT_LT(free, expected * 0.5);
}

TEST(SerialPrinter, WireTimePacesTheReplyBytes) {
  // At 1200 baud a byte takes 8.3 ms: the 12-byte boot reply spreads over
  // about 92 ms after the 9-byte frame's 75 ms.
  RunningPrinter running(AtRate(1200, true));
  ASSERT_TRUE(running.started);
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(1200));
  const auto start = steady_clock::now();
  ASSERT_TRUE(host.Write(Frame(CMD_ENTER_BOOT)));
  ASSERT_EQ(host.Read(1, milliseconds(2000)).size(), 1u);
  const auto first = steady_clock::now();
  ASSERT_EQ(host.Read(11, milliseconds(2000)).size(), 11u);
  const auto last = steady_clock::now();
  EXPECT_GE(Ms(first - start), 10 * 8.33 * 0.9);
  EXPECT_GE(Ms(last - first), 11 * 8.33 * 0.8);
  EXPECT_LE(Ms(last - start), 21 * 8.33 + 500);
}

TEST(SerialPrinter, SendsASplitReplyInPiecesWithThePauseBetween) {
  RunningPrinter running(AtRate(9600));
  ASSERT_TRUE(running.started);
  ReplyFault pieces;
  pieces.splitPoints = {4};
  pieces.pieceGap = milliseconds(300);
  running.printer.WithModel([&](BootLoaderModel &model) { model.FailCommand(CMD_PROBE, pieces); });
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(9600));
  ASSERT_TRUE(host.Write(Frame(CMD_PROBE)));
  const auto head = host.Read(9, milliseconds(150));
  const auto start = steady_clock::now();
  const auto tail = host.Read(9 - head.size(), milliseconds(2000));
  EXPECT_EQ(head.size(), 4u);
  EXPECT_GE(Ms(steady_clock::now() - start), 100);
  EXPECT_EQ(Concat(head, tail), Reply(ST_OK));
}

TEST(SerialPrinter, RecordsAnUpgradeAndWritesTheFlashedImage) {
  RunningPrinter running(AtRate(38400));
  ASSERT_TRUE(running.started);
  std::vector<ReceivedFrame> heard;
  HostPort host(running.printer.SlavePath());
  ASSERT_TRUE(host.SetBaudRate(38400));
  std::vector<uint8_t> packet(512);
  for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i * 7);
  const std::vector<std::pair<std::vector<uint8_t>, size_t>> steps = {
      {Frame(CMD_ENTER_BOOT), 12}, {Frame(CMD_VERSION, {0x01, 0x02}), 11}, {Frame(CMD_ERASE), 9},
      {Frame(CMD_DATA, packet), 9}, {Frame(CMD_DATA, packet), 9},        {Frame(CMD_FINISH), 9}};
  for (const auto &[frame, replyLength] : steps) {
    ASSERT_TRUE(host.Write(frame));
    const auto reply = host.Read(replyLength, milliseconds(2000));
    ASSERT_EQ(reply.size(), replyLength);
    EXPECT_NE(reply[4], 0) << "command " << int(frame[4]);
  }
  EXPECT_TRUE(running.printer.Finished());
  EXPECT_EQ(running.printer.Frames().size(), steps.size());

  const auto file = std::filesystem::temp_directory_path() / ("velloran-flashed-" + std::to_string(getpid()));
  std::string error;
  ASSERT_TRUE(running.printer.WriteFlashedImage(file.string(), &error)) << error;
  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(file);
  EXPECT_EQ(written, Concat(packet, packet));

  EXPECT_FALSE(running.printer.WriteFlashedImage("/nonexistent-dir/image.bin", &error));
  EXPECT_NE(error.find("/nonexistent-dir/image.bin"), std::string::npos);
}

TEST(SerialPrinter, StopEndsTheThreadRemovesThePortAndWakesAReader) {
  SerialPrinter printer(AtRate(9600));
  std::string error;
  ASSERT_TRUE(printer.Start(&error)) << error;
  EXPECT_FALSE(printer.Start(&error));
  const std::string node = printer.SlavePath();
  HostPort host(node);
  ASSERT_TRUE(host.IsOpen());
  // A reply that would come late, and a reader waiting for it.
  ReplyFault late;
  late.delay = seconds(30);
  printer.WithModel([&](BootLoaderModel &model) { model.FailCommand(CMD_PROBE, late); });
  ASSERT_TRUE(host.SetBaudRate(9600));
  ASSERT_TRUE(host.Write(Frame(CMD_PROBE)));
  std::this_thread::sleep_for(milliseconds(100));
  const auto start = steady_clock::now();
  printer.Stop();
  EXPECT_LT(Ms(steady_clock::now() - start), 1000);
  EXPECT_FALSE(printer.Running());
  struct stat info {};
  EXPECT_NE(stat(node.c_str(), &info), 0) << node << " still exists";
  EXPECT_TRUE(host.Read(1, milliseconds(500)).empty());
  printer.Stop();
}

}  // namespace
}  // namespace velloran::sim
