// The parallel-port upgrade procedure and its steps. The link is write-only:
// a step succeeds when its whole frame was written to the port (LPT1 unless
// g_strLptPort names another).
#pragma once

#include "corvalink.h"

// The parallel port's handle; INVALID_HANDLE_VALUE (-1) until the first
// open. A close leaves the old value; every run overwrites it with a fresh
// open.
extern HANDLE g_hLpt;

// mode 0 announces boot mode, mode 1 the packet information (and fixes the
// packet size at 512).
bool LptSwitchToBoot(int mode);
bool LptCheckVersion();
bool LptEraseFlash();
// Writes the data frame built from the exchange state, each attempt after
// two zero bytes, retrying within 3000 ms of the first. Returns 1 when an
// attempt went out whole.
int LptSendDataFrame();
