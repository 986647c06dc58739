// The USB upgrade procedure and its steps. The port is reached only through
// the Corvalink USB functions; each control step opens it and closes it
// again, the packet phase keeps it open until the end.
#pragma once

#include "corvalink.h"
#include "upgrade_steps.h"

// The cached USB port handle; INVALID_HANDLE_VALUE (-1) when no port is open.
extern HANDLE g_hUsb;

// which: the second switch sets the packet size that the data frames use.
bool UsbSwitchToBoot(velloran::BootSwitch which);
bool UsbCheckVersion();
bool UsbEraseFlash();
// Sends g_nTxLen bytes of g_TxFrame and collects g_nRxLen reply bytes into
// g_RxFrame within the reply window; g_bRxReady tells whether they came.
void UsbExchange();
// Sends the data frame built from the exchange state and collects its 9-byte
// reply likewise.
void UsbSendDataFrame();
