#include "package/catalogue.h"

#include <cstdio>
#include <cstring>

#include "package/catalogue_reader.h"
#include "package/program_files.h"

namespace package {

bool OpenFirmwareImage(const std::string& programFolder, char (&imagePath)[256], long* size) {
    const std::string path = ProgramFilePath(programFolder, kImageName);
    // A folder so deep that the path would not fit the shared buffer counts
    // as an image that cannot be opened.
    if (path.size() > kMaxPathLength) return false;
    std::FILE* image = std::fopen(path.c_str(), "rb");
    if (!image) return false;
    if (size != nullptr) *size = std::fseek(image, 0, SEEK_END) == 0 ? std::ftell(image) : -1;
    std::fclose(image);
    std::memcpy(imagePath, path.c_str(), path.size() + 1);
    return true;
}

bool ReadCatalogueVersion(const std::string& programFolder, char (&destination)[80], const char* key) {
    std::FILE* catalogue = std::fopen(ProgramFilePath(programFolder, kCatalogueName).c_str(), "rb");
    if (!catalogue) return false;
    const bool found = FindCatalogueVersion(catalogue, key, destination);
    std::fclose(catalogue);
    return found;
}

}  // namespace package
