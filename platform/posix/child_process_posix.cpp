// Child processes on POSIX: posix_spawn with three pipes, the child in its
// own process group with the default signal mask and dispositions.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

extern char **environ;

namespace velloran::platform {
namespace {

class PosixChild : public ChildProcess {
 public:
  PosixChild(pid_t pid, int in, int out, int err) : pid_(pid), in_(in), out_(out), err_(err) {}
  ~PosixChild() override {
    CloseInput();
    if (pid_ > 0) {
      Kill();
      Wait();
    }
    close(out_);
    close(err_);
  }

  size_t ReadOutput(char *buffer, size_t size) override { return ReadFrom(out_, buffer, size); }
  size_t ReadErrors(char *buffer, size_t size) override { return ReadFrom(err_, buffer, size); }

  bool WriteInput(const std::string &text) override {
    std::lock_guard lock(inputMutex_);
    if (in_ < 0) return false;
    for (size_t done = 0; done < text.size();) {
      const ssize_t wrote = write(in_, text.data() + done, text.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += static_cast<size_t>(wrote);
    }
    return true;
  }

  void CloseInput() override {
    std::lock_guard lock(inputMutex_);
    if (in_ >= 0) close(in_);
    in_ = -1;
  }

  int Wait() override {
    std::lock_guard lock(waitMutex_);
    if (pid_ <= 0) return status_;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    status_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return status_;
  }

  void Kill() override {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }

  long Id() const override { return id_; }

 private:
  static size_t ReadFrom(int fd, char *buffer, size_t size) {
    for (;;) {
      const ssize_t got = read(fd, buffer, size);
      if (got < 0 && errno == EINTR) continue;
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
  }

  pid_t pid_;
  const long id_ = pid_;
  int in_, out_, err_;
  int status_ = -1;
  std::mutex inputMutex_, waitMutex_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string> &args, std::string *error) {
  int pipes[3][2];
  auto &[in, out, err] = pipes;
  // Close-on-exec: no other child inherits these ends and keeps a pipe open.
  for (int i = 0; i < 3; ++i) {
    if (pipe2(pipes[i], O_CLOEXEC) != 0) {
      *error = std::strerror(errno);
      for (int j = 0; j < i; ++j) close(pipes[j][0]), close(pipes[j][1]);
      return nullptr;
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, number);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char *> argv;
  for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failure = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]), close(out[1]), close(err[1]);
  if (failure != 0) {
    *error = std::strerror(failure);
    close(in[1]), close(out[0]), close(err[0]);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid, in[1], out[0], err[0]);
}

std::string OwnProgramPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace velloran::platform
