// Variables of the process's own environment, through which a program hands
// a setting to a library that it reaches only through a fixed export table.
#pragma once

#include <optional>
#include <string>

namespace velloran::platform {

// The value, or nothing when the variable is not set (an empty value counts
// as not set).
std::optional<std::string> ProcessVariable(const char *name);

// Sets or removes the variable for this process and the programs it starts.
// Call while no other thread of the process reads its environment.
bool SetProcessVariable(const char *name, const std::string &value);
void ClearProcessVariable(const char *name);

}  // namespace velloran::platform
