// The firmware image beside the program and its version text from the
// catalogue.
#pragma once

#include <string>

namespace package {

inline constexpr const char* kImageName = "Bin\\App_K40.SBIN";
inline constexpr const char* kCatalogueName = "Bin\\Firmware.csv";

// Opens ProgramFolder + "Bin\App_K40.SBIN" for reading and closes it at
// once. On success writes the path into imagePath (256 bytes) and its size
// in bytes into `size` when given (-1 when it cannot be told), and returns
// true; false when it cannot be opened or its path does not fit (more than
// 255 characters), imagePath then untouched. The path is the one that was opened: on Windows exactly
// ProgramFolder + "Bin\App_K40.SBIN"; other builds spell the separators of
// the name as their file system does.
bool OpenFirmwareImage(const std::string& programFolder, char (&imagePath)[256], long* size = nullptr);

// Looks up `key` in ProgramFolder + "Bin\Firmware.csv" and writes its
// version text into destination (80 bytes). True when a record was found;
// false otherwise, with "Unknown" written when the catalogue was read to
// its end, and the destination untouched when it could not be opened. The
// reading rules are those of FindCatalogueVersion (catalogue_reader.h).
bool ReadCatalogueVersion(const std::string& programFolder, char (&destination)[80], const char* key);

}  // namespace package
