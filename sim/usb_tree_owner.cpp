#include "usb_tree_owner.h"

#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace velloran::sim {
namespace fs = std::filesystem;
namespace {

constexpr const char *kOwnerFile = "owner";

// A process is named by its id and its start time (field 22 of
// /proc/PID/stat, in clock ticks since boot), so that a reused id does not
// pass for the owner. Empty when no such process runs.
std::optional<std::string> ProcessStartTime(const std::string &pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return std::nullopt;
  // The command name in parentheses may hold spaces: count from its end.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int number = 3; number <= 22; ++number) {
    if (!(fields >> field)) return std::nullopt;
  }
  return field;
}

bool OwnerRuns(const std::string &owner) {
  std::istringstream fields(owner);
  std::string pid, start;
  if (!(fields >> pid >> start)) return false;
  return ProcessStartTime(pid) == start;
}

}  // namespace

bool RecordTreeOwner(const fs::path &root) {
  std::ofstream out(root / kOwnerFile);
  const std::string pid = std::to_string(getpid());
  out << pid << " " << ProcessStartTime(pid).value_or("?") << "\n";
  return static_cast<bool>(out);
}

void RemoveOrphanedTrees(const fs::path &folder, const std::string &prefix) {
  std::error_code error;
  for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !entry.is_directory(error) || entry.is_symlink(error)) continue;
    std::ifstream in(entry.path() / kOwnerFile);
    std::string owner;
    if (!std::getline(in, owner) || OwnerRuns(owner)) continue;
    std::error_code ignored;
    fs::remove_all(entry.path(), ignored);
  }
}

}  // namespace velloran::sim
