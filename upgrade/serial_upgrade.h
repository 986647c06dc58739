// The serial upgrade procedure and its steps, on the process-wide CComPort
// g_ComPort.
#pragma once

#include "global_com_port.h"
#include "upgrade_steps.h"

// which: the second switch sets the packet size that the data frames use.
bool ComSwitchToBoot(velloran::BootSwitch which);
bool ComCheckVersion();
bool ComEraseFlash();
// Sends g_nTxLen bytes of g_TxFrame and waits up to 3000 ms for a reply of
// g_nRxLen bytes that comes whole in one read; sets g_bRxReady.
bool ComExchange();
// Sends the data frame built from the exchange state and joins the pieces of
// its 9-byte reply; sets g_bRxReady when all came.
void ComSendDataFrame();
