// The drives the bootdrive script maps before the tests start:
//   D: fixed disk labelled "VAZ UD40"      E: removable labelled "vaz ud40"
//   F: removable labelled "BOOT RUZ I ZA 1" G: removable labelled "VAZ UD40"
//   H: removable, a 64 KiB file system (only when WZ_FULL_DRIVE is set)
//   I: removable whose folder has gone      J: removable, dropped by a flush
// and the firmware image C:\App\Bin\App_K40.SBIN of several megabytes.
#pragma once

#include <windows.h>

#include <string>

namespace bootdrive_wine {

inline constexpr char kFixedLabelled = 'D';
inline constexpr char kLowerCaseLabel = 'E';
inline constexpr char kBootDrive = 'F';
inline constexpr char kLaterBootDrive = 'G';
inline constexpr char kFullDrive = 'H';
inline constexpr char kGoneDrive = 'I';
inline constexpr char kDroppedDrive = 'J';
inline constexpr const char* kImagePath = "C:\\App\\Bin\\App_K40.SBIN";

// Whole content of a file, or false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);
bool WriteWholeFile(const std::string& path, const std::string& content);
// Removes a file or a folder tree below `path`.
void RemoveTree(const std::string& path);

}  // namespace bootdrive_wine
