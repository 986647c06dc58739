// CreateFileA/W: device names, exclusive opens of devices, plain paths; the
// life of a file object up to CloseHandle.
#include "device_name_syntax.h"
#include "device_names.h"
#include "file_object.h"
#include "node_openers.h"
#include "port_claims.h"
#include "utf8_encoding.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace velloran::platform {
namespace {

DWORD OpenErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case EIO:  // a tty whose device has gone
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:  // TIOCEXCL held by another opener; usblp and lp allow one opener
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EWOULDBLOCK:  // the advisory lock of another handle
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOMEM:
    case EMFILE:
    case ENFILE:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The 8250 driver creates ttyS0-ttyS3 whether or not a UART answers at their
// addresses, and opening one without a UART succeeds; from then on every
// tty call on it fails with EIO, tcgetattr (and so isatty) included. Windows
// has no COM port there at all, so such a node counts as missing. Other
// devices (usblp, lp) refuse the terminal call with ENOTTY or EINVAL.
bool TtyWithoutHardware(int fd) {
  termios settings {};
  return tcgetattr(fd, &settings) != 0 && errno == EIO;
}

bool IsParallelName(const char *name) {
  const auto parsed = device_syntax::ParseDeviceName(name);
  return parsed && parsed->kind == device_syntax::DeviceKind::kLpt;
}

// Another process has the node open as a rival, or has it open at all while
// the terminal is exclusive (an exclusivity left behind by a program that
// has gone binds no one). A claim of this process set its own exclusivity.
bool HeldElsewhere(int fd, const struct stat &info, bool claimed) {
  const std::vector<NodeHolder> holders = OtherOpeners(info);
  return AnyRival(holders) || (!claimed && !holders.empty() && TerminalIsExclusive(fd));
}

// Fails with the Win32 error; closes fd if it is open.
HANDLE FailOpen(int fd, DWORD error) {
  if (fd >= 0) close(fd);
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// Encodes a wide (UTF-32) name as UTF-8; false for code points that are not
// characters.
bool WideToUtf8(LPCWSTR wide, std::string *out) {
  for (; *wide != 0; ++wide) {
    const auto c = static_cast<char32_t>(*wide);
    if (!IsScalarValue(c)) return false;
    AppendUtf8(c, *out);
  }
  return true;
}

// O_ flags for the disposition; -1 for an unknown one.
int CreationFlags(DWORD disposition) {
  switch (disposition) {
    case CREATE_NEW: return O_CREAT | O_EXCL;
    case CREATE_ALWAYS: return O_CREAT | O_TRUNC;
    case OPEN_EXISTING: return 0;
    case OPEN_ALWAYS: return O_CREAT;
    case TRUNCATE_EXISTING: return O_TRUNC;
    default: return -1;
  }
}

HANDLE OpenFile(const char *name, DWORD access, DWORD disposition, DWORD flags) {
  if (name == nullptr) return FailOpen(-1, ERROR_INVALID_PARAMETER);
  if (*name == 0) return FailOpen(-1, ERROR_PATH_NOT_FOUND);
  int creation = CreationFlags(disposition);
  if (creation < 0) return FailOpen(-1, ERROR_INVALID_PARAMETER);

  std::string path(name);
  bool device_name = name[0] != '/' && IsDeviceName(name);
  if (device_name) {
    // A device is never created, and a name without a node never falls back
    // to a file of that name in the working directory.
    path = DeviceNodeForName(name);
    if (path.empty()) return FailOpen(-1, ERROR_FILE_NOT_FOUND);
    creation = 0;
  }
  if (access & GENERIC_ALL) access |= GENERIC_READ | GENERIC_WRITE;
  bool readable = (access & GENERIC_READ) != 0;
  bool writable = (access & GENERIC_WRITE) != 0;
  if (!writable) creation &= ~O_TRUNC;  // as Windows, truncation needs write access
  int mode = readable && writable ? O_RDWR : writable ? O_WRONLY : O_RDONLY;

  bool existed = ::access(path.c_str(), F_OK) == 0;
  // A node this process claims is shared with the claim, which holds its
  // lock and exclusivity.
  struct stat named {};
  const int claimed = stat(path.c_str(), &named) == 0 ? DuplicateClaimed(named) : -1;
  // O_NONBLOCK: a serial node must not wait for carrier, and all waiting is
  // done with poll(2) under the handle's time-outs.
  int fd = claimed >= 0 ? claimed : open(path.c_str(), mode | creation | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    return FailOpen(-1, device_name && errno == EISDIR ? ERROR_BAD_DEVICE : OpenErrorFromErrno(errno));
  }

  struct stat info {};
  if (fstat(fd, &info) != 0) return FailOpen(fd, OpenErrorFromErrno(errno));
  // A port name must lead to a device node (or a FIFO or socket standing in
  // for one): a plain file there would be overwritten as if it were the
  // printer.
  if (device_name && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) return FailOpen(fd, ERROR_BAD_DEVICE);
  if (S_ISDIR(info.st_mode)) return FailOpen(fd, ERROR_ACCESS_DENIED);
  // The same for a parallel port and a device of another kind (/dev/null).
  if (device_name && IsParallelName(name) && !CanBePrinterPort(info, fd)) return FailOpen(fd, ERROR_BAD_DEVICE);

  FileObject::Type type = FileObject::Type::kRegular;
  bool setsExclusive = false;
  if (!S_ISREG(info.st_mode)) {
    if (TtyWithoutHardware(fd)) return FailOpen(fd, ERROR_FILE_NOT_FOUND);
    // Devices are held exclusively. The advisory lock refuses a second open
    // in this process or another (root included); TIOCEXCL also refuses
    // programs that do not take the lock; and a program that took neither
    // is found among the node's openers. Root may open a terminal that
    // another program made exclusive, but must not take it over: its
    // settings stay untouched and its exclusivity set.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return FailOpen(fd, OpenErrorFromErrno(errno));
    if (S_ISCHR(info.st_mode) && HeldElsewhere(fd, info, claimed >= 0)) return FailOpen(fd, ERROR_ACCESS_DENIED);
    type = FileObject::Type::kDevice;
    if (isatty(fd)) {
      type = FileObject::Type::kTty;
      setsExclusive = claimed < 0 && ioctl(fd, TIOCEXCL) == 0;
      if (!SetRawMode(fd)) {
        int error = errno;
        if (setsExclusive) ioctl(fd, TIOCNXCL);
        return FailOpen(fd, OpenErrorFromErrno(error));
      }
    }
  } else {
    // A plain file is read and written with blocking calls.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }

  bool overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
  auto *file = new FileObject(fd, type, overlapped, readable, writable);
  if (setsExclusive) file->MarkExclusiveSetHere();
  HANDLE handle = RegisterHandle(file);
  bool reports_existing = disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS;
  SetLastError(reports_existing && existed && !device_name ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

}  // namespace

FileObject::FileObject(int fd, Type type, bool overlapped, bool readable, bool writable)
    : type_(type), overlapped_(overlapped), readable_(readable), writable_(writable), fd_(fd) {}

FileObject::~FileObject() {
  // OnClose has normally run; a handle table that never closed us still must
  // not leak the descriptor.
  if (io_thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    WakeIoThread();
    io_thread_.join();
  }
  if (wake_fd_ >= 0) close(wake_fd_);
  if (fd_ >= 0) close(fd_);
}

void FileObject::OnClose() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    AbortAll();
  }
  if (io_thread_.joinable()) {
    WakeIoThread();
    io_thread_.join();
  }
  std::lock_guard lock(mutex_);
  // Only an exclusivity that this open set is cleared: another program's,
  // or a port claim's, stays.
  if (set_exclusive_) ioctl(fd_, TIOCNXCL);
  close(fd_);  // also drops the advisory lock
  fd_ = -1;
}

bool FileObject::Ready(bool need_tty) const {
  if (closing_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (need_tty && !is_tty()) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return false;
  }
  return true;
}

Ref<FileObject> LookupFile(HANDLE handle) { return LookupHandleAs<FileObject>(handle); }

DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTTY: return ERROR_INVALID_FUNCTION;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    // usblp answers every call with ENODEV once its printer is unplugged
    // (the far end of a pseudo-terminal gives EIO instead).
    case ENXIO:
    case ENODEV:
    case EPIPE: return ERROR_DEVICE_NOT_CONNECTED;
    default: return ERROR_GEN_FAILURE;  // EIO and the rest
  }
}

}  // namespace velloran::platform

using namespace velloran::platform;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  return OpenFile(lpFileName, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  if (lpFileName == nullptr) return FailOpen(-1, ERROR_INVALID_PARAMETER);
  std::string name;
  if (!WideToUtf8(lpFileName, &name)) return FailOpen(-1, ERROR_INVALID_NAME);
  return OpenFile(name.c_str(), dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
}
