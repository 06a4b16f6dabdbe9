// Comparing firmware version texts as a person reads them.
#pragma once

#include <string_view>

namespace package {

// True when two version texts name the same version: spaces around them,
// the case of letters and leading zeros of numeric parts do not count, so
// "2.05.118" is " 2.5.118 " and "v2.05" is "V2.5"; every other character
// counts as it is ("2.5" is not "2.5.0", nor "2-5"). An empty text names no
// version and equals none.
bool SameVersion(std::string_view a, std::string_view b);

}  // namespace package
