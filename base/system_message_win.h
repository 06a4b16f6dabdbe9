// Windows' own words for its error numbers.
#pragma once

#include <windows.h>

#include <string>

namespace win {

// The error in the system's words, in the user's language, on one line;
// empty when Windows has none.
std::string SystemMessage(DWORD error);

}  // namespace win
