// The process-wide serial port that the serial upgrade procedure uses.
#pragma once

#include "com_port.h"

// Constructed during static initialisation with
// EN_WATCH_THREAD | EN_OVERLAPPED; closed when the process ends.
extern CComPort g_ComPort;
