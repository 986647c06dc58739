#include "global_com_port.h"

CComPort g_ComPort(CComPort::EN_WATCH_THREAD | CComPort::EN_OVERLAPPED);
