// What the serial, USB and parallel-port printers share: the boot-loader
// model behind a pseudo-terminal, served by one thread that reads what the
// tool writes and sends back the model's replies.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "boot_loader_model.h"
#include "pty.h"

namespace velloran::sim {

class PtyPrinter {
 public:
  using Clock = std::chrono::steady_clock;
  // Called on the port thread for every frame, after its reply went out.
  using FrameListener = std::function<void(const ReceivedFrame &)>;
  // Called on the port thread with a short line about the port itself (bytes
  // ignored, a new line speed, a stall).
  using NoticeListener = std::function<void(const std::string &)>;

  virtual ~PtyPrinter();
  PtyPrinter(const PtyPrinter &) = delete;
  PtyPrinter &operator=(const PtyPrinter &) = delete;

  // Creates the port and starts serving it. On failure nothing is left
  // behind and error says why.
  bool Start(std::string *error);
  // Stops the thread and removes the port; safe to call more than once.
  void Stop();
  bool Running() const { return thread_.joinable(); }

  // The device node the tool opens (valid while running).
  const std::string &SlavePath() const { return pty_.SlavePath(); }

  // Set before Start.
  void SetFrameListener(FrameListener listener) { frameListener_ = std::move(listener); }
  void SetNoticeListener(NoticeListener listener) { noticeListener_ = std::move(listener); }

  // Runs f on the model under the model's lock: configure faults, read the
  // records. f must not wait for the printer.
  template <class F>
  decltype(auto) WithModel(F &&f) {
    std::lock_guard lock(modelMutex_);
    return f(model_);
  }
  template <class F>
  decltype(auto) WithModel(F &&f) const {
    std::lock_guard lock(modelMutex_);
    return f(static_cast<const BootLoaderModel &>(model_));
  }

  std::vector<ReceivedFrame> Frames() const;
  std::vector<uint8_t> FlashedImage() const;
  BootLoaderCounters Counters() const;
  bool Finished() const;
  // Writes the flashed image to path; false with a reason when it cannot.
  bool WriteFlashedImage(const std::string &path, std::string *error) const;

  // Waits until the tool has read every reply byte, or timeout passed; true
  // when nothing is left. Lets a program stop without cutting off a reply.
  bool WaitUntilDelivered(std::chrono::milliseconds timeout) const;

  // Every byte read from the port, used or not.
  uint64_t BytesRead() const { return bytesRead_; }

 protected:
  explicit PtyPrinter(BootLoaderConfig config);

  // Hooks around the port's life: Prepare runs after the pseudo-terminal
  // exists and before the thread starts, Cleanup after the thread ended.
  virtual bool Prepare(std::string *) { return true; }
  virtual void Cleanup() {}
  // Handles one chunk read from the port, on the port thread.
  virtual void OnInput(const uint8_t *data, size_t length, Clock::time_point when) = 0;
  // Whether the port thread reads at all (a stalled printer does not).
  virtual bool Reading() const { return true; }
  // Puts reply bytes on the line; a printer with a slow line paces them.
  virtual bool Transmit(const uint8_t *data, size_t length);

  PseudoTerminal &Pty() { return pty_; }

  // Feeds the model under its lock.
  std::vector<ModelReply> Feed(const uint8_t *data, size_t length);
  // Sends replies as the model asks (delay, pieces with pauses), counted
  // from frameEnd, the moment the frame that asked for them was complete.
  // False when the printer is stopping or the port is gone.
  bool Answer(const std::vector<ModelReply> &replies, Clock::time_point frameEnd);
  // Reports the frames recorded since the last call to the frame listener.
  void ReportNewFrames();
  void Notice(const std::string &text);

  // Waits until t; false (early) when the printer is stopping.
  bool SleepUntil(Clock::time_point t);
  // Writes all bytes to the port, waiting while the tool does not read;
  // false when the printer is stopping or the port is gone.
  bool Send(const uint8_t *data, size_t length);
  bool Stopping() const { return stopping_; }

 private:
  void Serve();
  // Cleanup, then the wake-up descriptor and the pseudo-terminal go.
  void Release();
  bool WaitWake(Clock::duration timeout, short masterEvents, short *masterRevents);

  PseudoTerminal pty_;
  mutable std::mutex modelMutex_;
  BootLoaderModel model_;
  size_t framesReported_ = 0;
  FrameListener frameListener_;
  NoticeListener noticeListener_;
  int wakeFd_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> bytesRead_{0};
  std::thread thread_;
};

}  // namespace velloran::sim
