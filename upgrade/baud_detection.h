// Finding the serial printer's baud rate: a probe frame after 16 zero bytes
// at each rate of a fixed list, until a printer answers.
#pragma once

#include <atomic>

#include "win32_base.h"

// The rates tried, in order.
inline constexpr DWORD kDetectionRates[6] = {4800, 9600, 19200, 38400, 57600, 115200};

// A rate the printer is known to use (velloran-cli --baud): each detection
// tries it first and, when the printer does not answer at it, goes through
// the whole list. 0: none, the list alone.
extern std::atomic<int> g_nPreferredBaudRate;

// Opens COM<dwPort> on the process-wide port (closing it first) and probes
// each rate. On success the port stays open at the rate found and
// g_nBaudRate holds it; on failure the port is closed.
bool ComDetectBaudRate(DWORD dwPort);
