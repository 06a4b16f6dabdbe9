// The firmware image beside the program and its version text from the
// catalogue.
#pragma once

#include <optional>
#include <string>

#include "package/image_check.h"

namespace package {

inline constexpr const char* kImageName = "Bin\\App_K40.SBIN";
inline constexpr const char* kCatalogueName = "Bin\\Firmware.csv";

// What the open of the image found: why it cannot be used (none when it
// opened), and its size in bytes (-1 when it cannot be told).
struct ImageOpen {
    std::optional<ImageTrouble> trouble;
    long long size = -1;
    bool opened() const { return !trouble; }
};

// Opens ProgramFolder + "Bin\App_K40.SBIN" for reading through `files` and
// closes it at once. When it opened, writes the path into imagePath (256
// bytes); otherwise imagePath stays untouched: the file is missing or
// cannot be read, or its path does not fit (more than 255 characters). The
// path is the one that was opened: on Windows exactly ProgramFolder +
// "Bin\App_K40.SBIN"; other builds spell the separators of the name as
// their file system does.
ImageOpen OpenFirmwareImage(ImageFiles& files, const std::string& programFolder, char (&imagePath)[256]);

// Looks up `key` in ProgramFolder + "Bin\Firmware.csv" and writes its
// version text into destination (80 bytes). True when a record was found;
// false otherwise, with "Unknown" written when the catalogue was read to
// its end, and the destination untouched when it could not be opened. The
// reading rules are those of FindCatalogueVersion (catalogue_reader.h).
bool ReadCatalogueVersion(const std::string& programFolder, char (&destination)[80], const char* key);

}  // namespace package
