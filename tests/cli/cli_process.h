// velloran-cli as a separate process, with its standard output and error on
// pipes: lines are read as they come, signals are real, and the exit is seen
// as the shell sees it.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "json_output.h"

extern char **environ;

namespace velloran::cli::test {

class CliProcess {
 public:
  using Clock = std::chrono::steady_clock;

  // wrapper: a command that runs the tool, such as setpriv with its options.
  explicit CliProcess(std::vector<std::string> args, std::vector<std::string> wrapper = {}) {
    args.insert(args.begin(), VELLORAN_CLI_PROGRAM);
    args.insert(args.begin(), wrapper.begin(), wrapper.end());
    std::vector<char *> argv;
    for (auto &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
  }
  ~CliProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseOutput();
    if (err_ >= 0) close(err_);
  }
  CliProcess(const CliProcess &) = delete;
  CliProcess &operator=(const CliProcess &) = delete;

  bool Started() const { return pid_ > 0; }
  int Pid() const { return pid_; }

  // Reads standard output until a line contains text; false at its end or
  // after the timeout. Every line read is kept in OutLines().
  bool WaitForLine(const std::string &text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (size_t checked = 0;;) {
      for (; checked < outLines_.size(); ++checked) {
        if (outLines_[checked].find(text) != std::string::npos) return true;
      }
      if (!ReadSome(out_, outPending_, outLines_, deadline)) return false;
    }
  }

  // The same for standard error.
  bool WaitForErrLine(const std::string &text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (size_t checked = 0;;) {
      for (; checked < errLines_.size(); ++checked) {
        if (errLines_[checked].find(text) != std::string::npos) return true;
      }
      if (!ReadSome(err_, errPending_, errLines_, deadline)) return false;
    }
  }

  void Signal(int number) { kill(pid_, number); }

  // The read end of standard output goes away: the next write fails.
  void CloseOutput() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  struct Exit {
    bool signalled = false;
    int code = -1;  // the exit status, or the signal's number
    int ShellStatus() const { return signalled ? 128 + code : code; }
  };

  // Reads both outputs to their ends and waits for the exit (at most
  // timeout; code -1 when it did not end).
  Exit Finish(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (out_ >= 0 && ReadSome(out_, outPending_, outLines_, deadline)) {
    }
    while (err_ >= 0 && ReadSome(err_, errPending_, errLines_, deadline)) {
    }
    Exit exit;
    while (pid_ > 0 && Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exit.signalled = WIFSIGNALED(status);
        exit.code = exit.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit;
  }

  const std::vector<std::string> &OutLines() const { return outLines_; }
  const std::vector<std::string> &ErrLines() const { return errLines_; }

 private:
  // Reads what is there into complete lines; false at the end or deadline.
  static bool ReadSome(int fd, std::string &pending, std::vector<std::string> &lines, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd watched{fd, POLLIN, 0};
    if (poll(&watched, 1, static_cast<int>(left)) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) {
      if (!pending.empty()) lines.push_back(pending);
      pending.clear();
      return false;
    }
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      lines.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outPending_, errPending_;
  std::vector<std::string> outLines_, errLines_;
};

// The JSON events the program printed, one a line.
inline std::vector<Json> Events(const CliProcess &cli) {
  std::vector<Json> events;
  for (const std::string &line : cli.OutLines()) events.push_back(Json::parse(line));
  return events;
}

}  // namespace velloran::cli::test
