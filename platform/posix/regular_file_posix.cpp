// OpenRegularFileForReading on POSIX: O_NONBLOCK keeps open(2) from waiting
// for a FIFO's writer or a line's carrier; fstat(2) on the open descriptor
// then judges the very file that was opened.
#include "regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velloran::platform {

RegularFile OpenRegularFileForReading(const std::string &path) {
  RegularFile result;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    result.outcome = errno == ENOENT || errno == ENOTDIR ? RegularFileOutcome::kMissing
                                                         : RegularFileOutcome::kUnreadable;
    return result;
  }
  struct stat info {};
  const bool known = fstat(fd, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    close(fd);
    result.outcome = known ? RegularFileOutcome::kNotRegular : RegularFileOutcome::kUnreadable;
    return result;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  result.file = fdopen(fd, "rb");
  if (result.file == nullptr) {
    close(fd);
    result.outcome = RegularFileOutcome::kUnreadable;
    return result;
  }
  result.outcome = RegularFileOutcome::kOpened;
  result.size = static_cast<uint64_t>(info.st_size);
  return result;
}

}  // namespace velloran::platform
