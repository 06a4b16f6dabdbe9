// The running program's own file, and the paths it is compared with.
#pragma once

#include <string>

namespace win {

// Full path of the running executable (GetModuleFileNameA), however long;
// empty when it cannot be had whole: the call fails, the name does not fit
// even the longest buffer Windows paths need, or the ANSI code page cannot
// hold it (see below), so that it names no file.
std::string ModuleFilePath();

// False when the executable's path holds letters that the process's ANSI
// code page cannot hold: its wide path (GetModuleFileNameW) does not come
// back whole through that code page. The ANSI calls then see '?' or a
// look-alike letter in their place. Where the code page is UTF-8 (the
// manifest, Windows 10 1903 and later) every path fits; before that, a
// folder named in Cyrillic on a Western Windows does not.
bool ModulePathFitsCodePage();

// `path` (in the ANSI code page) with each of its folders by its long name
// (GetLongPathNameW, so that names the code page cannot hold do not stop
// it): a launcher may start the program through a path in 8.3 names
// (C:\Users\ANNAMA~1\...). `path` itself when the long form cannot be had
// or does not fit the code page.
std::string LongPathName(const std::string& path);

// The user's folder for temporary files (GetTempPathW), by its folders'
// long names, in the ANSI code page, ending in a separator; empty when it
// cannot be had or the code page cannot hold it.
std::string LongTempFolder();

}  // namespace win
