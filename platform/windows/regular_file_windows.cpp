// OpenRegularFileForReading on Windows: the C library's open, then its
// fstat on the opened descriptor judges the very file that was opened
// (a named pipe or a device such as "CON" is no regular file).
#include "regular_file.h"

#include <cerrno>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace velloran::platform {

RegularFile OpenRegularFileForReading(const std::string &path) {
  RegularFile result;
  errno = 0;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    result.outcome = errno == ENOENT ? RegularFileOutcome::kMissing : RegularFileOutcome::kUnreadable;
    return result;
  }
  struct _stat64 info {};
  if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(file);
    result.outcome = RegularFileOutcome::kNotRegular;
    return result;
  }
  result.outcome = RegularFileOutcome::kOpened;
  result.file = file;
  result.size = static_cast<uint64_t>(info.st_size);
  return result;
}

}  // namespace velloran::platform
