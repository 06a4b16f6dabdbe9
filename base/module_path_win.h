// The running program's own file.
#pragma once

#include <string>

namespace win {

// Full path of the running executable (GetModuleFileNameA), however long;
// empty when it cannot be had whole: the call fails, or the name does not
// fit even the longest buffer Windows paths need.
std::string ModuleFilePath();

}  // namespace win
