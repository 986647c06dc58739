// Child processes on Windows: CreateProcess with three inherited pipe ends
// and a process group of its own (CREATE_NEW_PROCESS_GROUP), so that the
// console's Ctrl-C reaches only the parent, which tells the child itself.
#include "child_process.h"

#include <windows.h>

#include <mutex>

#include "system_error_text.h"

namespace velloran::platform {
namespace {

// Serialises the starts: a child inherits every inheritable handle that
// exists while it is created, so another child's ends must not be there.
std::mutex g_startMutex;

// One argument as CommandLineToArgvW and the C runtime read it back:
// quotes around it, a quote escaped, backslashes doubled before a quote.
std::string QuotedArgument(const std::string &arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string quoted = "\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == '\\') ++i, ++backslashes;
    if (i == arg.size()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (arg[i] == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted += arg[i];
  }
  return quoted + "\"";
}

class WindowsChild : public ChildProcess {
 public:
  WindowsChild(PROCESS_INFORMATION info, HANDLE in, HANDLE out, HANDLE err)
      : process_(info.hProcess), id_(static_cast<long>(info.dwProcessId)), in_(in), out_(out), err_(err) {
    CloseHandle(info.hThread);
  }
  ~WindowsChild() override {
    CloseInput();
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) Kill();
    Wait();
    CloseHandle(out_);
    CloseHandle(err_);
    CloseHandle(process_);
  }

  size_t ReadOutput(char *buffer, size_t size) override { return ReadFrom(out_, buffer, size); }
  size_t ReadErrors(char *buffer, size_t size) override { return ReadFrom(err_, buffer, size); }

  bool WriteInput(const std::string &text) override {
    std::lock_guard lock(inputMutex_);
    if (in_ == nullptr) return false;
    DWORD wrote = 0;
    return WriteFile(in_, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) && wrote == text.size();
  }

  void CloseInput() override {
    std::lock_guard lock(inputMutex_);
    if (in_ != nullptr) CloseHandle(in_);
    in_ = nullptr;
  }

  int Wait() override {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }

  void Kill() override { TerminateProcess(process_, 137); }
  long Id() const override { return id_; }

 private:
  static size_t ReadFrom(HANDLE pipe, char *buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;  // broken pipe: the end
    return got;
  }

  HANDLE process_;
  long id_;
  HANDLE in_, out_, err_;
  std::mutex inputMutex_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string> &args, std::string *error) {
  std::lock_guard lock(g_startMutex);
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr, errRead = nullptr,
         errWrite = nullptr;
  const auto closeAll = [&] {
    for (HANDLE handle : {inRead, inWrite, outRead, outWrite, errRead, errWrite}) {
      if (handle != nullptr) CloseHandle(handle);
    }
  };
  if (!CreatePipe(&inRead, &inWrite, &inherited, 0) || !CreatePipe(&outRead, &outWrite, &inherited, 0) ||
      !CreatePipe(&errRead, &errWrite, &inherited, 0)) {
    *error = LastErrorText();
    closeAll();
    return nullptr;
  }
  // The parent's ends stay here.
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

  std::string commandLine;
  for (const std::string &arg : args) commandLine += (commandLine.empty() ? "" : " ") + QuotedArgument(arg);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessA(args.front().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info);
  if (!started) *error = LastErrorText();
  CloseHandle(inRead);
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (!started) {
    CloseHandle(inWrite);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return nullptr;
  }
  return std::make_unique<WindowsChild>(info, inWrite, outRead, errRead);
}

std::string OwnProgramPath() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  return std::string(path, length);
}

}  // namespace velloran::platform
