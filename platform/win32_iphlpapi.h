// IP Helper: the IPv4 neighbour (ARP) table.
//
// On Windows this is the system's own API. On Linux the table is read from
// /proc/net/arp and an interface's table is flushed through rtnetlink, which
// takes the CAP_NET_ADMIN privilege; without it the flush fails with
// ERROR_ACCESS_DENIED and changes nothing.
#pragma once

#include "win32_winsock.h"

#ifdef _WIN32
#include <iphlpapi.h>
#else

#ifndef NO_ERROR
#define NO_ERROR 0u
#endif
#define ERROR_NO_DATA 232u

#define MAXLEN_PHYSADDR 8

#define MIB_IPNET_TYPE_INVALID 2u
#define MIB_IPNET_TYPE_DYNAMIC 3u
#define MIB_IPNET_TYPE_STATIC 4u

typedef struct _MIB_IPNETROW {
  DWORD dwIndex;  // interface index
  DWORD dwPhysAddrLen;
  BYTE bPhysAddr[MAXLEN_PHYSADDR];
  DWORD dwAddr;  // IPv4 address, network byte order
  DWORD dwType;  // MIB_IPNET_TYPE_*
} MIB_IPNETROW, *PMIB_IPNETROW;

typedef struct _MIB_IPNETTABLE {
  DWORD dwNumEntries;
  MIB_IPNETROW table[1];
} MIB_IPNETTABLE, *PMIB_IPNETTABLE;

// The neighbour table. With a buffer too small (or none) it fails with
// ERROR_INSUFFICIENT_BUFFER and stores the size needed in *pdwSize; an empty
// table gives ERROR_NO_DATA. bOrder sorts the rows by address, ascending.
DWORD GetIpNetTable(PMIB_IPNETTABLE pIpNetTable, DWORD *pdwSize, BOOL bOrder);

// Deletes the neighbour entries of one interface (permanent ones stay).
// NO_ERROR, ERROR_INVALID_PARAMETER for an unknown interface,
// ERROR_ACCESS_DENIED without privilege, ERROR_GEN_FAILURE otherwise.
DWORD FlushIpNetTable(DWORD dwIfIndex);

#endif  // !_WIN32
