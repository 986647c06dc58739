// What the opens and writes of the device ports have in common.
#pragma once

#include "win32_comm.h"

namespace velloran::transport {

// Opens a device by name for reading and writing, exclusively, for
// synchronous I/O, and replaces its time-outs (a port that takes none is
// left as it is). INVALID_HANDLE_VALUE when it cannot be had.
HANDLE OpenDeviceExclusive(LPCSTR name, COMMTIMEOUTS timeouts);
HANDLE OpenDeviceExclusive(LPCWSTR name, COMMTIMEOUTS timeouts);

// One synchronous write; 1 when the system's write succeeded, else 0.
// Handle -1 gives 0 without touching the count.
int WriteToPort(HANDLE port, LPCVOID data, DWORD length, LPDWORD written);

// The same write after discarding what is queued for sending and what was
// received but not read (nodes that cannot be purged are left alone).
int PurgeAndWriteToPort(HANDLE port, LPCVOID data, DWORD length, LPDWORD written);

}  // namespace velloran::transport
