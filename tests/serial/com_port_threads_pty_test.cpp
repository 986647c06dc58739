// CComPort worker threads on a pseudo-terminal: which threads start, sending
// queued bytes, the read thread beside an owner that reads its replies, and
// stopping that cannot hang.
#include "pty_pair.h"
#include "test_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

constexpr unsigned kPort = 7;
constexpr DWORD kUpgradeOptions = 0x11F;  // watch + read threads, both buffers, flush

std::vector<uint8_t> Seq(size_t n, uint8_t first = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until cond holds or timeout_ms pass; returns cond().
template <class Cond>
bool WaitFor(Cond cond, int timeout_ms) {
  int64_t deadline = NowMs() + timeout_ms;
  while (!cond()) {
    if (NowMs() >= deadline) return cond();
    SleepMs(5);
  }
  return true;
}

}  // namespace

TEST(ComPortThreads, OptionsDecideWhichThreadsOpenStarts) {
  PtyPair pty;
  pty.MapAs(kPort);
  struct Case {
    DWORD options;
    int threads;
  } cases[] = {{0x003, 1}, {kUpgradeOptions, 2}, {0x002, 0}, {0x10E, 0}, {0x02A, 1}, {0x033, 3}};
  for (const Case &c : cases) {
    TestPort port(c.options);
    ASSERT_TRUE(port.Open(kPort)) << std::hex << c.options;
    EXPECT_EQ(port.ThreadCount(), c.threads) << std::hex << c.options;
    EXPECT_EQ(port.WatchThread() != NULL, (c.options & CComPort::EN_WATCH_THREAD) != 0);
    EXPECT_EQ(port.ReadThread() != NULL, (c.options & CComPort::EN_RX_THREAD) != 0);
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(port.ThreadCount(), 0);
  }
}

TEST(ComPortThreads, EndThreadWithoutThreadsReturnsFalseAndCloseGoesOn) {
  PtyPair pty;
  pty.MapAs(kPort);
  TestPort port(CComPort::EN_OVERLAPPED);
  EXPECT_FALSE(port.EndThread(500));
  ASSERT_TRUE(port.Open(kPort));
  EXPECT_FALSE(port.EndThread(500));
  EXPECT_TRUE(port.Close());
}

TEST(ComPortThreads, BeginThreadRefusesWhileAThreadIsSet) {
  PortOnPty line(0x003);
  ASSERT_TRUE(line.Open());
  TestPort &port = line.port;
  HANDLE watch = port.WatchThread();
  AssertTexts texts;
  EXPECT_FALSE(port.BeginThread(CComPort::EN_RX_THREAD));
  EXPECT_EQ(port.WatchThread(), watch);
  EXPECT_EQ(port.ReadThread(), nullptr);
  EXPECT_EQ(texts.Take().size(), 1u);
  EXPECT_EQ(port.GetOption(), 0x003u);  // nothing added
}

TEST(ComPortThreads, ReopenRestartsThreadsPerCurrentOptions) {
  PortOnPty line(0x003);
  ASSERT_TRUE(line.Open());
  TestPort &port = line.port;
  ASSERT_EQ(port.ThreadCount(), 1);
  port.SetOption(port.GetOption() | 0x11C);  // as the upgrade does while open
  EXPECT_EQ(port.ThreadCount(), 1);
  ASSERT_TRUE(port.Open(kPort));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_NE(port.WatchThread(), nullptr);
  EXPECT_NE(port.ReadThread(), nullptr);
  port.SetOption(0x002);  // fails its check on the open port, stored all the same
  ASSERT_TRUE(port.Open(kPort));
  EXPECT_EQ(port.ThreadCount(), 0);
}

TEST(ComPortThreads, SuspendedThreadsStillStopOnClose) {
  PortOnPty line(0x003 | CComPort::EN_SUSPENDED | CComPort::EN_RX_THREAD);
  ASSERT_TRUE(line.Open());
  TestPort &port = line.port;
  EXPECT_EQ(port.ThreadCount(), 2);
  int64_t start = NowMs();
  EXPECT_TRUE(port.Close());
  EXPECT_EQ(port.ThreadCount(), 0);
  EXPECT_LT(NowMs() - start, 3000);
}

// Buffered writes leave the port through the thread that sends the
// transmit buffer; the owner only queues them.
class ComPortBufferedWrite : public ::testing::TestWithParam<DWORD> {};

TEST_P(ComPortBufferedWrite, QueuedBytesLeaveThroughTheWorker) {
  PortOnPty line(GetParam());
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  std::vector<uint8_t> small = Seq(25);
  EXPECT_EQ(port.Write(small.data(), small.size()), 0u);  // queued, not written
  EXPECT_EQ(pty.Receive(small.size(), 3000), small);

  // More than one 1024-byte send, in several blocks.
  std::vector<uint8_t> large(3000);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7);
  port.Write(large.data(), 1000);
  port.Write(large.data() + 1000, 2000);
  EXPECT_EQ(pty.Receive(large.size(), 5000), large);
  EXPECT_TRUE(WaitFor([&] { return port.Tx().SafeSize() == 0; }, 2000));
  // The count follows once the sender's last write call has returned.
  EXPECT_TRUE(WaitFor([&] { return port.GetOutCount() == 3025u; }, 2000)) << port.GetOutCount();
}

INSTANTIATE_TEST_SUITE_P(Senders, ComPortBufferedWrite,
                         ::testing::Values(0x00B,    // overlapped watch thread
                                           0x009,    // polling watch thread
                                           0x02A,    // write thread
                                           0x11F));  // the upgrade's options

TEST(ComPortBufferedWrite, ProbeAfterFlushIsSentToo) {
  // The detection's pattern: queue, flush, pause, queue again; the second
  // wake-up may come while the watch thread is busy with the first.
  PortOnPty line(kUpgradeOptions);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  for (int round = 0; round < 10; ++round) {
    std::vector<uint8_t> zeros(16, 0);
    std::vector<uint8_t> probe = Seq(9, static_cast<uint8_t>(round * 10));
    port.Write(zeros.data(), zeros.size());
    port.Flush();
    SleepMs(10);
    port.Write(probe.data(), probe.size());
    std::vector<uint8_t> expected = zeros;
    expected.insert(expected.end(), probe.begin(), probe.end());
    ASSERT_EQ(pty.Receive(expected.size(), 3000), expected) << "round " << round;
  }
}

TEST(ComPortReadThread, ReplyArrivingDuringTheOwnersPauseReachesItsNextRead) {
  PortOnPty line(kUpgradeOptions);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  ASSERT_TRUE(port.SetState(9600, NOPARITY, 8, ONESTOPBIT));
  for (int round = 0; round < 3; ++round) {
    std::vector<uint8_t> frame = Seq(20, 0x40);
    port.WritePort(frame.data(), frame.size());
    ASSERT_EQ(pty.Receive(frame.size(), 3000), frame);
    std::vector<uint8_t> reply = Seq(9, static_cast<uint8_t>(0x80 + round));
    pty.Send(reply);
    // The owner's pause and flush: long enough for the read thread to poll.
    SleepMs(100);
    port.Flush();
    ASSERT_TRUE(WaitFor([&] { return port.GetQueueCount(true) == 0; }, 2000))
        << "the read thread did not take the reply";
    uint8_t got[9] = {};
    ASSERT_EQ(port.Read(got, 9, INFINITE), 9u) << "round " << round;
    EXPECT_EQ(std::vector<uint8_t>(got, got + 9), reply);
    EXPECT_EQ(port.Rx().Size(), 0u);
  }
  EXPECT_EQ(port.GetInCount(), 27u);
}

TEST(ComPortReadThread, ReplySplitAroundTheReadArrivesWhole) {
  // The first piece comes during the pause, the rest once the owner reads.
  PortOnPty line(kUpgradeOptions);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  std::vector<uint8_t> reply = Seq(9, 0x10);
  pty.Send(std::vector<uint8_t>(reply.begin(), reply.begin() + 4));
  ASSERT_TRUE(WaitFor([&] { return port.Rx().Size() == 4; }, 2000));
  std::thread printer([&] {
    SleepMs(40);
    pty.Send(std::vector<uint8_t>(reply.begin() + 4, reply.end()));
  });
  uint8_t got[9] = {};
  DWORD n = port.Read(got, 9, INFINITE);
  printer.join();
  ASSERT_EQ(n, 9u);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 9), reply);
}

TEST(ComPortReadThread, CollectedBytesGoWithTheInputWhenThePortCloses) {
  PortOnPty line(kUpgradeOptions);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  pty.Send(Seq(7));
  ASSERT_TRUE(WaitFor([&] { return port.Rx().Size() == 7; }, 2000));
  ASSERT_TRUE(port.Open(kPort));  // closes and reopens
  EXPECT_EQ(port.Rx().Size(), 0u);
  uint8_t got[7];
  EXPECT_EQ(port.Read(got, 7, INFINITE), 0u);  // nothing stale
  pty.Send(Seq(3, 100));
  ASSERT_EQ(port.Read(got, 3, INFINITE), 3u);
  EXPECT_EQ(got[0], 100);
}

TEST(ComPortReadThread, NoByteIsLostOrReorderedBesideTheReadThread) {
  // A printer that talks at random moments while the owner reads with
  // pauses between its reads: every byte reaches the owner, in order.
  PortOnPty line(kUpgradeOptions);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  constexpr size_t kTotal = 600;
  std::thread printer([&] {
    std::mt19937 random(7);
    size_t sent = 0;
    while (sent < kTotal) {
      size_t n = std::min<size_t>(1 + random() % 12, kTotal - sent);
      std::vector<uint8_t> piece(n);
      for (size_t i = 0; i < n; ++i) piece[i] = static_cast<uint8_t>((sent + i) % 251);
      pty.Send(piece);
      sent += n;
      SleepMs(static_cast<int>(random() % 40));
    }
  });
  std::vector<uint8_t> received;
  std::mt19937 random(11);
  int64_t deadline = NowMs() + 30000;
  while (received.size() < kTotal && NowMs() < deadline) {
    uint8_t chunk[16];
    DWORD n = port.Read(chunk, 1 + random() % 16, INFINITE);
    received.insert(received.end(), chunk, chunk + n);
    SleepMs(static_cast<int>(random() % 120));
  }
  printer.join();
  ASSERT_EQ(received.size(), kTotal);
  for (size_t i = 0; i < kTotal; ++i) ASSERT_EQ(received[i], i % 251) << "byte " << i;
}

TEST(ComPortStop, DrainWaitGivesUpWhenNothingSendsTheBuffer) {
  // Read thread only: nobody sends the transmit buffer, so draining it
  // before the stop would wait forever.
  PtyPair pty;
  pty.MapAs(kPort);
  DWORD options = CComPort::EN_RX_THREAD | CComPort::EN_TX_BUFFER | CComPort::EN_DRAIN_TX | CComPort::EN_OVERLAPPED;
  TestPort port(options);
  ASSERT_TRUE(port.Open(kPort));
  std::vector<uint8_t> data = Seq(100);
  port.Write(data.data(), data.size());
  int64_t start = NowMs();
  EXPECT_TRUE(port.Close());
  EXPECT_LT(NowMs() - start, 5000);
  EXPECT_EQ(port.ThreadCount(), 0);
  EXPECT_EQ(port.Tx().Size(), 100u);  // kept for the next open
}

TEST(ComPortStop, DrainWaitLetsQueuedBytesLeaveFirst) {
  PortOnPty line(0x00B | CComPort::EN_DRAIN_TX);
  ASSERT_TRUE(line.Open());
  PtyPair &pty = line.pty;
  TestPort &port = line.port;
  std::vector<uint8_t> data = Seq(200);
  port.Write(data.data(), data.size());
  EXPECT_TRUE(port.Close());
  EXPECT_EQ(port.Tx().Size(), 0u);
  EXPECT_EQ(pty.Receive(data.size(), 3000), data);
}

TEST(ComPortStop, RefusedWritesDoNotHoldThePollingSender) {
  PtyPair pty;
  pty.MapAs(kPort);
  ASSERT_TRUE(pty.StopPortOutput());
  TestPort port(CComPort::EN_WATCH_THREAD | CComPort::EN_TX_BUFFER);  // polling sender
  ASSERT_TRUE(port.Open(kPort));
  std::vector<uint8_t> data(2048, 0x55);
  port.Write(data.data(), data.size());
  // Each 1024-byte chunk is given up after a few refused writes.
  EXPECT_TRUE(WaitFor([&] { return port.Tx().SafeSize() == 0; }, 10000));
  EXPECT_TRUE(port.Close(3000));
  EXPECT_EQ(port.ThreadCount(), 0);
  pty.ResumePortOutput();
}

TEST(ComPortStop, CloseWhileTheOwnerIsBetweenReadsLeavesNoThread) {
  PtyPair pty;
  pty.MapAs(kPort);
  TestPort port(kUpgradeOptions);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(port.Open(kPort));
    pty.Send(Seq(30));
    SleepMs(20 * i);
    int64_t start = NowMs();
    EXPECT_TRUE(port.Close(500));
    EXPECT_LT(NowMs() - start, 2500);
    EXPECT_EQ(port.ThreadCount(), 0);
  }
}

namespace {

// What the lingering read thread below reports; kept outside the port
// object, which the thread may outlive.
std::atomic<int> g_lingerMs{600};
std::atomic<bool> g_lingerStarted{false};
std::atomic<bool> g_lingerEnded{false};

// A port whose read thread ignores the stop request for a while.
class SlowToStopPort : public TestPort {
 public:
  using TestPort::TestPort;

  DWORD ReadLoop() override {
    g_lingerStarted = true;
    while (bRunning_) ::Sleep(10);
    ::Sleep(g_lingerMs);
    g_lingerEnded = true;
    return 0;
  }
};

// Waits until the read thread runs, so that the port object is not
// destroyed while the thread is still being dispatched into it.
void WaitForLingerStart() {
  ASSERT_TRUE(WaitFor([] { return g_lingerStarted.load(); }, 5000));
}

}  // namespace

TEST(ComPortStop, ThreadThatIgnoresTheStopKeepsItsHandleUntilItEnds) {
  PtyPair pty;
  pty.MapAs(kPort);
  g_lingerMs = 600;
  g_lingerStarted = false;
  SlowToStopPort port(CComPort::EN_OVERLAPPED | CComPort::EN_RX_THREAD);
  ASSERT_TRUE(port.Open(kPort));
  WaitForLingerStart();
  HANDLE lingering = port.ReadThread();
  EXPECT_FALSE(port.EndThread(50));  // cannot be terminated here
  EXPECT_EQ(port.ReadThread(), lingering);
  EXPECT_FALSE(port.BeginThread());  // still running
  ASSERT_EQ(::WaitForSingleObject(lingering, 5000), WAIT_OBJECT_0);
  g_lingerMs = 0;
  g_lingerStarted = false;
  EXPECT_TRUE(port.BeginThread());  // the ended thread no longer stands in the way
  EXPECT_EQ(port.ThreadCount(), 1);
  WaitForLingerStart();
  EXPECT_TRUE(port.EndThread(2000));
}

TEST(ComPortStop, DestructionWaitsForAThreadThatDidNotStopInTime) {
  PtyPair pty;
  pty.MapAs(kPort);
  g_lingerMs = 600;
  g_lingerStarted = false;
  g_lingerEnded = false;
  {
    SlowToStopPort port(CComPort::EN_OVERLAPPED | CComPort::EN_RX_THREAD);
    ASSERT_TRUE(port.Open(kPort));
    WaitForLingerStart();
    port.Close(50);
  }
  EXPECT_TRUE(g_lingerEnded);
}

namespace {

// Counts the receive notifications; its targets are set but unknown here.
class CountingPort : public TestPort {
 public:
  using TestPort::TestPort;
  ~CountingPort() override { Close(); }  // the watch thread calls OnReceive
  std::atomic<int> receives{0};

  void Aim(HWND window, DWORD threadId) {
    hNotifyWnd_ = window;
    dwNotifyThreadId_ = threadId;
  }
  void OnReceive() override {
    ++receives;
    TestPort::OnReceive();
  }
};

}  // namespace

TEST(ComPortWatchThread, CollectsInputAndNotifiesEveryBatch) {
  // Watch thread without a read thread: it reads arriving bytes into the
  // receive buffer itself, and with a threshold of 0 every batch notifies.
  PtyPair pty;
  pty.MapAs(kPort);
  CountingPort port(CComPort::EN_WATCH_THREAD | CComPort::EN_OVERLAPPED | CComPort::EN_RX_BUFFER);
  port.Aim(reinterpret_cast<HWND>(0x1234), 0x4321);  // no such window or thread queue
  ASSERT_TRUE(port.Open(kPort));
  pty.Send(Seq(20));
  ASSERT_TRUE(WaitFor([&] { return port.Rx().Size() == 20; }, 3000));
  EXPECT_GE(port.receives.load(), 1);
  // The owner's next read gets them.
  uint8_t got[20];
  ASSERT_EQ(port.Read(got, 20, INFINITE), 20u);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 20), Seq(20));
}
