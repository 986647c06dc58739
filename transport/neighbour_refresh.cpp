// The neighbour-table step of ConnectNetPort.
#include "neighbour_refresh.h"

#include "win32_iphlpapi.h"

#include <new>
#include <vector>

namespace velloran::transport {

void ForgetNeighbour(DWORD address) {
  try {
    DWORD size = 0;
    if (GetIpNetTable(nullptr, &size, TRUE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return;
    // Held in DWORDs so that the table is suitably aligned.
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto *table = reinterpret_cast<PMIB_IPNETTABLE>(storage.data());
    if (GetIpNetTable(table, &size, TRUE) != NO_ERROR) return;
    const MIB_IPNETROW *rows = table->table;  // runs on past the declared [1]
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      if (rows[i].dwAddr == address) FlushIpNetTable(rows[i].dwIndex);
    }
  } catch (const std::bad_alloc &) {
  }
}

}  // namespace velloran::transport
