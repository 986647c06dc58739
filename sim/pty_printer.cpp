#include "pty_printer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace velloran::sim {
namespace {

// After this long without a byte, the start of a frame that never
// completed is forgotten, as a boot loader's receive time-out does.
constexpr auto kSilence = std::chrono::milliseconds(1000);
// The longest the thread waits before it looks at its state again.
constexpr auto kPollPeriod = std::chrono::milliseconds(100);
constexpr size_t kReadChunk = 4096;

}  // namespace

PtyPrinter::PtyPrinter(BootLoaderConfig config) : model_(config) {}

PtyPrinter::~PtyPrinter() { Stop(); }

bool PtyPrinter::Start(std::string *error) {
  if (Running()) {
    *error = "the printer is already running";
    return false;
  }
  if (!pty_.Open(error)) return false;
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    *error = std::string("eventfd: ") + std::strerror(errno);
    pty_.Close();
    return false;
  }
  if (!Prepare(error)) {
    Release();
    return false;
  }
  stopping_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void PtyPrinter::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  const uint64_t one = 1;
  (void)!write(wakeFd_, &one, sizeof one);
  thread_.join();
  Release();
}

void PtyPrinter::Release() {
  Cleanup();
  close(wakeFd_);
  wakeFd_ = -1;
  pty_.Close();
}

std::vector<ReceivedFrame> PtyPrinter::Frames() const {
  return WithModel([](const BootLoaderModel &m) { return m.Frames(); });
}

std::vector<uint8_t> PtyPrinter::FlashedImage() const {
  return WithModel([](const BootLoaderModel &m) { return m.FlashedImage(); });
}

BootLoaderCounters PtyPrinter::Counters() const {
  return WithModel([](const BootLoaderModel &m) { return m.Counters(); });
}

bool PtyPrinter::Finished() const {
  return WithModel([](const BootLoaderModel &m) { return m.Finished(); });
}

bool PtyPrinter::WriteFlashedImage(const std::string &path, std::string *error) const {
  const std::vector<uint8_t> image = FlashedImage();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool PtyPrinter::WaitUntilDelivered(std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  while (pty_.PendingForSlave() > 0) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<ModelReply> PtyPrinter::Feed(const uint8_t *data, size_t length) {
  std::lock_guard lock(modelMutex_);
  return model_.Feed(data, length);
}

bool PtyPrinter::Answer(const std::vector<ModelReply> &replies, Clock::time_point frameEnd) {
  Clock::time_point due = frameEnd;
  for (const ModelReply &reply : replies) {
    due = std::max(due, Clock::now()) + reply.delay;
    const auto pieces = reply.Pieces();
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) due = Clock::now() + reply.pieceGap;
      if (!SleepUntil(due) || !Transmit(pieces[i].data(), pieces[i].size())) return false;
    }
  }
  return true;
}

void PtyPrinter::ReportNewFrames() {
  std::vector<ReceivedFrame> fresh;
  {
    std::lock_guard lock(modelMutex_);
    const auto &frames = model_.Frames();
    // A reset of the model starts the records again.
    if (frames.size() < framesReported_) framesReported_ = 0;
    fresh.assign(frames.begin() + static_cast<std::ptrdiff_t>(framesReported_), frames.end());
    framesReported_ = frames.size();
  }
  if (frameListener_)
    for (const ReceivedFrame &frame : fresh) frameListener_(frame);
}

void PtyPrinter::Notice(const std::string &text) {
  if (noticeListener_) noticeListener_(text);
}

bool PtyPrinter::WaitWake(Clock::duration timeout, short masterEvents, short *masterRevents) {
  pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {pty_.MasterFd(), masterEvents, 0}};
  const nfds_t count = masterEvents != 0 ? 2 : 1;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(timeout, Clock::duration::zero()));
  const timespec wait{static_cast<time_t>(ns.count() / 1'000'000'000), static_cast<long>(ns.count() % 1'000'000'000)};
  int ready;
  do {
    ready = ppoll(fds, count, &wait, nullptr);
  } while (ready < 0 && errno == EINTR);
  if (masterRevents) *masterRevents = count == 2 ? fds[1].revents : 0;
  return !stopping_;
}

bool PtyPrinter::SleepUntil(Clock::time_point t) {
  for (;;) {
    if (stopping_) return false;
    const auto left = t - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    WaitWake(std::min<Clock::duration>(left, kPollPeriod), 0, nullptr);
  }
}

bool PtyPrinter::Send(const uint8_t *data, size_t length) {
  while (length > 0) {
    if (stopping_) return false;
    const ssize_t n = write(pty_.MasterFd(), data, length);
    if (n > 0) {
      data += n;
      length -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      WaitWake(kPollPeriod, POLLOUT, nullptr);
    } else {
      return false;
    }
  }
  return true;
}

bool PtyPrinter::Transmit(const uint8_t *data, size_t length) { return Send(data, length); }

void PtyPrinter::Serve() {
  std::vector<uint8_t> buffer(kReadChunk);
  auto lastInput = Clock::now();
  bool partialPossible = false;
  while (!stopping_) {
    short revents = 0;
    if (!WaitWake(kPollPeriod, Reading() ? POLLIN : 0, &revents)) break;
    if (revents & POLLIN) {
      const ssize_t n = read(pty_.MasterFd(), buffer.data(), buffer.size());
      if (n > 0) {
        lastInput = Clock::now();
        partialPossible = true;
        bytesRead_ += static_cast<uint64_t>(n);
        OnInput(buffer.data(), static_cast<size_t>(n), lastInput);
        continue;
      }
    } else if (revents & (POLLHUP | POLLERR)) {
      // Not expected while the slave is held open; do not spin on it.
      SleepUntil(Clock::now() + std::chrono::milliseconds(10));
    }
    if (partialPossible && Clock::now() - lastInput > kSilence) {
      std::lock_guard lock(modelMutex_);
      model_.DropPartialFrame();
      partialPossible = false;
    }
  }
}

}  // namespace velloran::sim
