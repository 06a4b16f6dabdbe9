// Paths of the files that lie beside the program.
#pragma once

#include <string>

namespace package {

// The longest path the shared 256-byte path buffers can hold.
constexpr std::size_t kMaxPathLength = 255;

// The relative name as the file system of this build spells it: the names
// are written with Windows separators, so a non-Windows build (the native
// test build) turns each backslash into a slash.
std::string LocalRelativeName(const char* relativeName);

// programFolder (ending in a separator) followed by the relative name, in
// the spelling that opens the file on this build.
std::string ProgramFilePath(const std::string& programFolder, const char* relativeName);

}  // namespace package
