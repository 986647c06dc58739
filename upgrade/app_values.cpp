// The process-wide values of app_values.h, with their start values.
#include "app_values.h"

velloran::SharedText g_strImagePath;
std::atomic<int> g_nComPort{0};
velloran::SharedText g_strLptPort;
std::atomic<int> g_nBaudRate{0};
