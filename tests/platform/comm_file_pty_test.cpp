// Device opens, synchronous ReadFile/WriteFile under COMMTIMEOUTS and the
// line settings, on a pseudo-terminal whose master side the test holds.
#include "comm_pty_pair.h"
#include "win32_comm.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <thread>
#include <vector>

namespace {

using velloran::testing::PtyPair;

DWORD Since(DWORD start) { return GetTickCount() - start; }

HANDLE OpenPort(const std::string &path, DWORD flags = 0) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                     nullptr);
}

bool SetTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant,
                 DWORD write_multiplier = 0, DWORD write_constant = 0) {
  COMMTIMEOUTS timeouts{interval, multiplier, constant, write_multiplier, write_constant};
  return SetCommTimeouts(port, &timeouts) != FALSE;
}

struct TimedRead {
  std::string bytes;
  DWORD waited;
};

// One synchronous read of up to `length` bytes while another thread plays
// the far end of the line.
TimedRead ReadWhile(HANDLE port, DWORD length, const std::function<void()> &far_end) {
  std::thread other(far_end);
  std::vector<char> buffer(length);
  DWORD got = 0;
  DWORD start = GetTickCount();
  BOOL ok = ReadFile(port, buffer.data(), length, &got, nullptr);
  TimedRead result{std::string(buffer.data(), got), Since(start)};
  other.join();
  EXPECT_TRUE(ok);
  return result;
}

class CommFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    port_ = OpenPort(pty_.slave_path());
    ASSERT_NE(port_, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
  }

  PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(CommFile, OpensAreExclusiveUntilClosed) {
  SetLastError(0);
  EXPECT_EQ(OpenPort(pty_.slave_path()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  // Another process is refused as well (this one runs as root, where
  // TIOCEXCL alone would let it through).
  pid_t child = fork();
  if (child == 0) {
    HANDLE other = OpenPort(pty_.slave_path());
    _exit(other == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  ASSERT_TRUE(CloseHandle(port_));
  port_ = OpenPort(pty_.slave_path());
  EXPECT_NE(port_, INVALID_HANDLE_VALUE);
}

TEST(CommOpen, MissingNodesAndNamesWithoutNodeAreNotFound) {
  SetLastError(0);
  EXPECT_EQ(OpenPort("/dev/velloran-no-such-node"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(OpenPort("COM200"), INVALID_HANDLE_VALUE);  // no default node
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  SetLastError(0);
  EXPECT_EQ(OpenPort(""), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// A device name must lead to a device node: a file or a folder there is
// refused before anything is written. A FIFO stands in for a device.
TEST(CommOpen, DeviceNamesThatLeadToAFileOrAFolderAreNoDevices) {
  char pattern[] = "/tmp/velloran-nodes-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string file = dir + "/some-file";
  const std::string fifo = dir + "/fifo";
  {
    FILE *out = fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    fputs("keep me", out);
    fclose(out);
  }
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string map = "LPT1=" + file + ";COM5=" + dir + ";COM6=" + fifo;
  setenv("VELLORAN_DEVICE_MAP", map.c_str(), 1);

  for (const char *name : {"LPT1", "\\\\.\\COM5"}) {
    SetLastError(0);
    EXPECT_EQ(OpenPort(name), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), ERROR_BAD_DEVICE) << name;
  }
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 7) << "the file was written";

  HANDLE port = OpenPort("COM6");
  EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(port);
  // A path is no device name: it opens whatever it names.
  port = OpenPort(file);
  EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(port);

  unsetenv("VELLORAN_DEVICE_MAP");
  unlink(file.c_str());
  unlink(fifo.c_str());
  rmdir(dir.c_str());
}

TEST(CommOpen, DeviceNamesFollowTheOverrideInBothWidths) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  std::string map = "COM7=" + pty.slave_path();
  setenv("VELLORAN_DEVICE_MAP", map.c_str(), 1);

  HANDLE port = OpenPort("\\\\.\\COM7");
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(OpenPort("com7"), INVALID_HANDLE_VALUE);  // same device, held
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(port);

  port = CreateFileW(L"COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(port, "hi", 2, &written, nullptr));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(pty.Receive(2), "hi");
  CloseHandle(port);
  unsetenv("VELLORAN_DEVICE_MAP");
}

TEST_F(CommFile, OpenedLineIsRawBothWays) {
  // No echo, no CR/LF translation, no line buffering.
  ASSERT_TRUE(SetTimeouts(port_, 0, 0, 1000));
  ASSERT_TRUE(pty_.Send(std::string("a\r\x03\x7f\x04", 5)));
  char buffer[8] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(port_, buffer, 5, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), std::string("a\r\x03\x7f\x04", 5));
  EXPECT_EQ(pty_.Receive(1, 100), "");  // nothing echoed

  DWORD written = 0;
  ASSERT_TRUE(WriteFile(port_, "x\n", 2, &written, nullptr));
  EXPECT_EQ(pty_.Receive(2), "x\n");
}

TEST_F(CommFile, AllZeroTimeoutsWaitForEveryByte) {
  ASSERT_TRUE(SetTimeouts(port_, 0, 0, 0));
  TimedRead read = ReadWhile(port_, 5, [this] {
    pty_.Send("ab");
    Sleep(300);
    pty_.Send("cde");
  });
  EXPECT_EQ(read.bytes, "abcde");
  EXPECT_GE(read.waited, 250u);
}

TEST_F(CommFile, MaxIntervalWithoutTotalsReturnsAtOnce) {
  ASSERT_TRUE(SetTimeouts(port_, MAXDWORD, 0, 0));
  char buffer[16];
  DWORD got = 99;
  DWORD start = GetTickCount();
  EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_LT(Since(start), 1000u);

  ASSERT_TRUE(pty_.Send("xyz"));
  Sleep(50);
  start = GetTickCount();
  EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(std::string(buffer, got), "xyz");
  EXPECT_LT(Since(start), 1000u);
}

TEST_F(CommFile, TotalTimeoutEndsAQuietRead) {
  ASSERT_TRUE(SetTimeouts(port_, 0, 10, 200));  // 10 × 10 + 200 = 300 ms
  char buffer[10];
  DWORD got = 99;
  DWORD start = GetTickCount();
  EXPECT_TRUE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
  DWORD waited = Since(start);
  EXPECT_EQ(got, 0u);
  EXPECT_GE(waited, 280u);
  EXPECT_LT(waited, 3000u);
}

TEST_F(CommFile, IntervalTimeoutStartsWithTheFirstByte) {
  ASSERT_TRUE(SetTimeouts(port_, 100, 0, 0));
  TimedRead read = ReadWhile(port_, 10, [this] {
    Sleep(400);  // longer than the interval: no time-out before a byte
    pty_.Send("ab");
  });
  EXPECT_EQ(read.bytes, "ab");
  EXPECT_GE(read.waited, 380u);
  EXPECT_LT(read.waited, 3000u);
}

TEST_F(CommFile, IntervalEndsReadLongBeforeTheTotal) {
  ASSERT_TRUE(SetTimeouts(port_, 100, 0, 5000));
  TimedRead read = ReadWhile(port_, 10, [this] {
    Sleep(100);
    pty_.Send("a");
    Sleep(30);
    pty_.Send("b");
  });
  EXPECT_EQ(read.bytes, "ab");
  EXPECT_GE(read.waited, 200u);
  EXPECT_LT(read.waited, 3000u);
}

TEST_F(CommFile, WriteToAStalledReaderEndsWithAShortCount) {
  // The master never reads: the pseudo-terminal's buffer fills, and the
  // write total time-out ends the write.
  ASSERT_TRUE(SetTimeouts(port_, 0, 0, 0, 0, 300));
  std::vector<char> data(1 << 20, 'x');
  DWORD written = 0;
  DWORD start = GetTickCount();
  EXPECT_TRUE(WriteFile(port_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
  DWORD waited = Since(start);
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, data.size());
  EXPECT_GE(waited, 280u);
  EXPECT_LT(waited, 5000u);
}

TEST_F(CommFile, CloseHandleEndsAPendingRead) {
  ASSERT_TRUE(SetTimeouts(port_, 0, 0, 0));  // would wait for ever
  BOOL result = TRUE;
  DWORD error = 0;
  std::thread reader([&] {
    char buffer[4];
    DWORD got = 0;
    result = ReadFile(port_, buffer, sizeof buffer, &got, nullptr);
    error = GetLastError();
  });
  Sleep(100);
  DWORD start = GetTickCount();
  ASSERT_TRUE(CloseHandle(port_));
  reader.join();
  port_ = INVALID_HANDLE_VALUE;
  EXPECT_LT(Since(start), 2000u);
  EXPECT_FALSE(result);
  EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
}

TEST_F(CommFile, HangUpFailsReadsInsteadOfWaiting) {
  ASSERT_TRUE(SetTimeouts(port_, 0, 0, 0));
  std::thread far_end([this] {
    Sleep(100);
    pty_.CloseMaster();
  });
  char buffer[4];
  DWORD got = 0;
  DWORD start = GetTickCount();
  EXPECT_FALSE(ReadFile(port_, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  far_end.join();
  EXPECT_LT(Since(start), 3000u);
  EXPECT_FALSE(WriteFile(port_, "x", 1, &got, nullptr));
}

TEST_F(CommFile, CommStateReachesTheLine) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.BaudRate = CBR_19200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  ASSERT_TRUE(SetCommState(port_, &dcb)) << GetLastError();
  termios2 seen = pty_.SlaveSettings();
  EXPECT_EQ(seen.c_cflag & CBAUD, static_cast<unsigned>(B19200));
  EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<unsigned>(CS8));
  EXPECT_EQ(seen.c_cflag & (PARENB | CSTOPB), 0u);

  dcb.BaudRate = CBR_14400;  // no Bnnn code: the rate itself
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutX = dcb.fInX = 1;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  ASSERT_TRUE(SetCommState(port_, &dcb)) << GetLastError();
  seen = pty_.SlaveSettings();
  EXPECT_EQ(seen.c_ospeed, 14400u);
  EXPECT_EQ(seen.c_cflag & (PARENB | CSTOPB), static_cast<unsigned>(CSTOPB));
  EXPECT_EQ(seen.c_iflag & (IXON | IXOFF), static_cast<unsigned>(IXON | IXOFF));

  DCB back{};
  ASSERT_TRUE(GetCommState(port_, &back));
  EXPECT_EQ(back.BaudRate, CBR_14400);
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.Parity, NOPARITY);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(back.fOutX, 1u);
  EXPECT_EQ(back.fBinary, 1u);

  // A pseudo-terminal keeps 8 bits without parity: a frame it does not
  // take is refused and the line keeps its settings.
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  SetLastError(0);
  EXPECT_FALSE(SetCommState(port_, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(pty_.SlaveSettings().c_ospeed, 14400u);
}

TEST_F(CommFile, CommStateRefusesWhatTheLineCannotDo) {
  DCB good{};
  ASSERT_TRUE(GetCommState(port_, &good));
  auto refused = [&](auto change) {
    DCB dcb = good;
    change(dcb);
    SetLastError(0);
    return !SetCommState(port_, &dcb) && GetLastError() == ERROR_INVALID_PARAMETER;
  };
  EXPECT_TRUE(refused([](DCB &d) { d.BaudRate = 0; }));
  EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 9; }));
  EXPECT_TRUE(refused([](DCB &d) { d.Parity = 5; }));
  EXPECT_TRUE(refused([](DCB &d) { d.ByteSize = 8, d.StopBits = ONE5STOPBITS; }));
  EXPECT_TRUE(refused([](DCB &d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; }));
  EXPECT_TRUE(refused([](DCB &d) { d.fOutxDsrFlow = 1; }));
  EXPECT_TRUE(refused([](DCB &d) { d.fOutX = 1, d.XonChar = d.XoffChar = 0x11; }));
  DCB after{};
  ASSERT_TRUE(GetCommState(port_, &after));
  EXPECT_EQ(after.BaudRate, good.BaudRate);  // nothing half-applied
}

TEST(CommOpen, PlainFilesReadAndWriteButHaveNoLineSettings) {
  char path[] = "/tmp/velloran-comm-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(file, "data", 4, &count, nullptr));
  EXPECT_EQ(count, 4u);
  DCB dcb{};
  SetLastError(0);
  EXPECT_FALSE(SetCommState(file, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  EXPECT_TRUE(PurgeComm(file, PURGE_RXCLEAR | PURGE_TXCLEAR));  // nothing to purge
  CloseHandle(file);

  file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[8] = {};
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "data");
  EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(file);
  unlink(path);
}

TEST(CommDevice, NodeThatIsNoTtyKeepsTheWriteTimeouts) {
  // A FIFO whose reader takes nothing stands in for a parallel port whose
  // printer accepts no data: the write ends after its time-out.
  char dir[] = "/tmp/velloran-fifo-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/lp";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  HANDLE port = OpenPort(path);
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(OpenPort(path), INVALID_HANDLE_VALUE);  // exclusive like a tty
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR));  // nothing to clear
  DCB dcb{};
  EXPECT_FALSE(GetCommState(port, &dcb));

  // The transport's values: 1 ms a byte and 300 ms a write. The pipe takes
  // 64 KiB and then nothing.
  std::vector<char> data(64 * 1024, 'p');
  DWORD written = 0;
  ASSERT_TRUE(SetTimeouts(port, 0, 20, 20, 0, 300));  // fill it, however much it takes
  EXPECT_TRUE(WriteFile(port, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
  ASSERT_TRUE(SetTimeouts(port, 0, 20, 20, 1, 300));
  DWORD start = GetTickCount();
  EXPECT_TRUE(WriteFile(port, data.data(), 500, &written, nullptr));
  DWORD waited = Since(start);
  EXPECT_EQ(written, 0u);
  EXPECT_GE(waited, 750u);  // 500 × 1 + 300
  EXPECT_LT(waited, 5000u);
  EXPECT_TRUE(FlushFileBuffers(port));
  CloseHandle(port);
  close(reader);
  unlink(path.c_str());
  rmdir(dir);
}

}  // namespace
