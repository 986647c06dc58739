// The program's name as the user knows it: the executable file's base name.
#pragma once

#include <string>

namespace velloran {

// "Velloran" for C:\Tools\Velloran.exe: no folder, no extension.
std::string ProgramBaseName();

// The base name of a path with '\' or '/' separators.
std::string BaseNameWithoutExtension(const std::string &path);

}  // namespace velloran
