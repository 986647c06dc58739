// Windows device names ("\\.\COM3", "COM3", "LPT1") and the device nodes that
// stand for them on this system.
//
// On Linux a fixed default table maps COM1–COM32 to /dev/ttyS0–ttyS31,
// COM33–COM64 to /dev/ttyUSB0–ttyUSB31, COM65–COM96 to /dev/ttyACM0–ttyACM31
// and LPTn to /dev/lp(n-1); COM97 and above have no default node. The
// environment variable VELLORAN_DEVICE_MAP overrides single names, e.g.
// "COM5=/dev/pts/3;LPT1=/dev/pts/4"; it is read at every lookup, so a test or a
// front end may change it at run time. Names are matched without regard to
// case.
#pragma once

#include <string>
#include <string_view>

namespace velloran::platform {

// The environment variable that overrides single device names.
inline constexpr const char *kDeviceMapVariable = "VELLORAN_DEVICE_MAP";

// True for "COM" or "LPT" followed by digits, and for any name that starts
// with "\\.\": names that denote a device and never a file in the working
// directory.
bool IsDeviceName(std::string_view name);

// The node to open for a name: the mapped node of a device name, the name
// itself for a path that starts with '/'. Empty when a device name has no node
// (COM97 without an override, "\\.\FOO") and for anything else.
std::string DeviceNodeForName(std::string_view name);

// The node of COMn, empty when it has none.
std::string ComPortNode(unsigned port);

// n for "COMn" or "\\.\COMn" (n ≥ 1, no leading zero), else 0.
unsigned ComNumberFromName(std::string_view name);

// The COM number whose node is the given path (an override first, then the
// default table; a symbolic link such as /dev/serial/by-id/… counts as the
// node it points to), 0 when no COM name leads there.
unsigned ComNumberForNode(std::string_view node);

// The name of the group that owns a device node (whose members may open it
// when its mode allows), empty when it cannot be told: no such node, a group
// without a name, or a system without owner groups.
std::string DeviceNodeGroup(std::string_view node);

// A COM number that leads to node: the one that already does, or else the
// highest without a node, which an entry added to VELLORAN_DEVICE_MAP of this
// process makes lead there (so code that opens ports by number reaches any
// device node, /dev/ttyAMA0 or /dev/serial/by-id/… included). 0 where names
// cannot be mapped (Windows) or no number is left.
unsigned ComNumberLeadingTo(const std::string &node);

}  // namespace velloran::platform
