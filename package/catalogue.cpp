// Placeholder until the catalogue reader lands: the image is found when it
// opens; no version is read.
#include "package/catalogue.h"

#include <cstdio>
#include <cstring>

namespace package {

bool OpenFirmwareImage(const std::string& programFolder, char (&imagePath)[256]) {
    const std::string path = programFolder + kImageName;
    if (path.size() > 255) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    std::memcpy(imagePath, path.c_str(), path.size() + 1);
    return true;
}

bool ReadCatalogueVersion(const std::string&, char (&destination)[80], const char*) {
    std::strcpy(destination, "Unknown");
    return false;
}

}  // namespace package
