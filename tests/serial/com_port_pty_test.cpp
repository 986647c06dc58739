// CComPort on a pseudo-terminal: opening, configuring, reading and writing,
// and the texts of its checks.
#include "global_com_port.h"
#include "pty_pair.h"
#include "test_port.h"

#include <gtest/gtest.h>

#include <mutex>
#include <cctype>
#include <fstream>
#include <thread>

namespace {

std::mutex g_textsMutex;
std::vector<std::string> g_texts;

void CollectText(const char *text) {
  std::lock_guard lock(g_textsMutex);
  g_texts.emplace_back(text);
}

constexpr unsigned kPort = 7;

// True when text is "COM_ASSERT(<expression>) failed; CComPort(<line>); ".
bool IsCheckText(const std::string &text, const std::string &expression) {
  const std::string head = "COM_ASSERT(" + expression + ") failed; CComPort(";
  const std::string tail = "); ";
  if (text.size() <= head.size() + tail.size()) return false;
  if (text.compare(0, head.size(), head) != 0) return false;
  if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
  for (size_t i = head.size(); i < text.size() - tail.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

std::vector<uint8_t> Seq(size_t n, uint8_t first = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

}  // namespace

AssertTexts::AssertTexts() {
  Take();
  SetComAssertTrace(CollectText);
}
AssertTexts::~AssertTexts() { SetComAssertTrace(nullptr); }
std::vector<std::string> AssertTexts::Take() {
  std::lock_guard lock(g_textsMutex);
  return std::exchange(g_texts, {});
}

TEST(ComPortOpen, RejectsPortNumbersOutsideOneTo1024) {
  AssertTexts texts;
  TestPort port;
  EXPECT_FALSE(port.Open(0));
  EXPECT_FALSE(port.Open(1025));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.GetPort(), 0xFFFFFFFFu);  // the name was never set
  std::vector<std::string> got = texts.Take();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(IsCheckText(got[0], "dwPort>=1 && dwPort<=1024")) << got[0];
  EXPECT_EQ(got[0], got[1]);
  // The number is the line where the check stands.
  size_t open = got[0].rfind('(');
  int line = std::stoi(got[0].substr(open + 1));
  std::ifstream source(VELLORAN_SERIAL_SOURCE_DIR "/com_port.cpp");
  ASSERT_TRUE(source.is_open());
  std::string text;
  for (int i = 0; i < line && std::getline(source, text); ++i) {
  }
  EXPECT_NE(text.find("COM_ASSERT(dwPort>=1 && dwPort<=1024)"), std::string::npos) << "line " << line << ": " << text;
}

TEST(ComPortOpen, MissingPortFailsAndStaysClosed) {
  setenv("VELLORAN_DEVICE_MAP", "COM1024=/dev/velloran-no-such-port", 1);
  TestPort port;
  EXPECT_FALSE(port.Open(1024));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_STREQ(port.GetPortName(), "\\\\.\\COM1024");
  EXPECT_EQ(port.ThreadCount(), 0);
  EXPECT_FALSE(port.Close());  // nothing to close
}

TEST(ComPortOpen, SetsTimeoutsOfTheModeAndKeepsTheLine) {
  PtyPair pty;
  pty.MapAs(kPort);
  TestPort overlapped(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(overlapped.Open(kPort));
  EXPECT_STREQ(overlapped.GetPortName(), "\\\\.\\COM7");
  EXPECT_EQ(overlapped.Timeouts().ReadIntervalTimeout, 100u);
  EXPECT_EQ(overlapped.Timeouts().ReadTotalTimeoutConstant, 500u);
  EXPECT_EQ(overlapped.Timeouts().WriteTotalTimeoutMultiplier, 1u);
  EXPECT_EQ(overlapped.Timeouts().WriteTotalTimeoutConstant, 10000u);
  EXPECT_EQ(overlapped.ThreadCount(), 0);
  EXPECT_TRUE(overlapped.Close());
  EXPECT_FALSE(overlapped.IsOpen());

  TestPort plain(0);
  ASSERT_TRUE(plain.Open(kPort));
  EXPECT_EQ(plain.Timeouts().ReadTotalTimeoutConstant, 250u);
  EXPECT_EQ(plain.Timeouts().WriteTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(plain.Timeouts().WriteTotalTimeoutConstant, 250u);
}

TEST(ComPortOpen, SecondOpenOfAHeldPortIsDenied) {
  PtyPair pty;
  pty.MapAs(kPort);
  EXPECT_EQ(g_ComPort.GetOption(), CComPort::EN_WATCH_THREAD | CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(g_ComPort.Open(kPort));
  TestPort other;
  EXPECT_FALSE(other.Open(kPort));
  EXPECT_EQ(::GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(other.IsOpen());
  g_ComPort.Close();
  EXPECT_TRUE(other.Open(kPort));  // free again once closed
}

TEST(ComPortOpen, SetOptionOnAnOpenPortFailsItsCheckButStores) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  TestPort &port = line.port;
  AssertTexts texts;
  port.SetOption(0x11F);
  EXPECT_EQ(port.GetOption(), 0x11Fu);
  std::vector<std::string> got = texts.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(IsCheckText(got[0], "!IsOpen()")) << got[0];
  EXPECT_EQ(port.ThreadCount(), 0);  // thread options wait for the next Open
}

TEST(ComPortOpen, SetStateReachesTheLine) {
  PtyPair pty;
  pty.MapAs(kPort);
  TestPort port(CComPort::EN_OVERLAPPED);
  EXPECT_FALSE(port.SetState(9600, NOPARITY, 8, ONESTOPBIT));  // closed
  ASSERT_TRUE(port.Open(kPort));
  ASSERT_TRUE(port.SetState(19200, NOPARITY, 8, ONESTOPBIT));
  EXPECT_EQ(port.State().BaudRate, 19200u);
  EXPECT_EQ(port.State().ByteSize, 8);
  EXPECT_EQ(port.State().fParity, 0u);
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  ASSERT_TRUE(::GetCommState(port.Handle(), &dcb));
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
}

TEST(ComPortRead, QuietLineEndsAfterTheTotalTimeout) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  TestPort &port = line.port;
  uint8_t buffer[16];
  int64_t start = NowMs();
  EXPECT_EQ(port.Read(buffer, sizeof(buffer), INFINITE), 0u);
  int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 400);
  EXPECT_LT(elapsed, 2000);
}

TEST(ComPortRead, BytesThatStopComeBackAfterTheIntervalTimeout) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  int64_t sentAt = 0;
  std::thread printer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sentAt = NowMs();
    pty.Send(Seq(5));
  });
  uint8_t buffer[64];
  int64_t start = NowMs();
  DWORD n = port.Read(buffer, sizeof(buffer), INFINITE);
  int64_t end = NowMs();
  printer.join();
  ASSERT_EQ(n, 5u);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5), Seq(5));
  // Ended by the 100 ms gap after the last byte, not by the 500 ms total.
  EXPECT_GE(end - sentAt, 80);
  EXPECT_LT(end - sentAt, 420) << "read took " << end - start << " ms";
  EXPECT_EQ(port.GetInCount(), 5u);
}

TEST(ComPortRead, FullRequestReturnsAtOnce) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  pty.Send(Seq(12));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  uint8_t buffer[12];
  int64_t start = NowMs();
  ASSERT_EQ(port.Read(buffer, 12, INFINITE), 12u);
  EXPECT_LT(NowMs() - start, 90);  // well before the 100 ms gap could end it
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 12), Seq(12));
}

TEST(ComPortRead, FiniteWaitTakesHeldBytesThenWaitsByteByByte) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  pty.Send(Seq(3));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  uint8_t buffer[10];
  int64_t start = NowMs();
  ASSERT_EQ(port.Read(buffer, 10, 200), 3u);
  int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 150);
  EXPECT_LT(elapsed, 1500);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 3), Seq(3));

  // Bytes that arrive during the wait are taken one by one.
  std::thread printer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    pty.Send(Seq(4, 50));
  });
  ASSERT_EQ(port.Read(buffer, 4, 1500), 4u);
  printer.join();
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), Seq(4, 50));

  // The aborted one-byte read left the record free for the next read.
  pty.Send(Seq(2, 90));
  ASSERT_EQ(port.Read(buffer, 2, INFINITE), 2u);
  EXPECT_EQ(buffer[0], 90);
}

TEST(ComPortRead, NonOverlappedReadIsBoundedByItsTimeouts) {
  PortOnPty line(0);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  uint8_t buffer[8];
  int64_t start = NowMs();
  EXPECT_EQ(port.Read(buffer, 8, INFINITE), 0u);
  EXPECT_LT(NowMs() - start, 1500);
  pty.Send(Seq(8));
  EXPECT_EQ(port.Read(buffer, 8, INFINITE), 8u);
  std::vector<uint8_t> data = Seq(40);
  EXPECT_EQ(port.WritePort(data.data(), 40), 40u);  // the count written
  EXPECT_EQ(pty.Receive(40, 3000), data);
}

TEST(ComPortReadWrite, ZeroLengthsAndClosedPortsDoNothing) {
  TestPort port;
  uint8_t buffer[4] = {};
  EXPECT_EQ(port.Read(buffer, 0, INFINITE), 0u);
  EXPECT_EQ(port.WritePort(buffer, 0), 0u);
  EXPECT_EQ(port.Read(buffer, 4, INFINITE), 0u);
  EXPECT_EQ(port.WritePort(buffer, 4), 0u);
  EXPECT_EQ(port.Write(buffer, 4), 0u);
  EXPECT_FALSE(port.Flush());
  EXPECT_EQ(port.GetQueueCount(true), 0xFFFFFFFFu);
  EXPECT_EQ(port.GetModemStatus(), 0u);
  EXPECT_EQ(port.GetCommErrors(), 0u);
  EXPECT_EQ(port.GetOutCount(), 0u);
}

TEST(ComPortWrite, WritePortHandsBytesToTheLineAndCountsThem) {
  PortOnPty line(CComPort::EN_OVERLAPPED);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  std::vector<uint8_t> frame = Seq(9, 0x1E);
  DWORD n = port.WritePort(frame.data(), 9);
  EXPECT_TRUE(n == 0 || n == 9);  // pending or done at once
  EXPECT_TRUE(port.Flush());
  std::vector<uint8_t> second = Seq(300, 7);
  port.Write(second.data(), 300);  // no transmit buffer: straight to the port
  EXPECT_TRUE(port.Flush());
  std::vector<uint8_t> expected = frame;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(pty.Receive(expected.size(), 3000), expected);
  EXPECT_EQ(port.GetOutCount(), 309u);
  port.ResetCounters();
  EXPECT_EQ(port.GetOutCount(), 0u);
  EXPECT_EQ(port.GetQueueCount(false), 0u);
}
