#include "package/catalogue.h"

#include <cstdio>
#include <cstring>

#include "package/catalogue_reader.h"
#include "package/program_files.h"

namespace package {

ImageOpen OpenFirmwareImage(ImageFiles& files, const std::string& programFolder, char (&imagePath)[256]) {
    const std::string path = ProgramFilePath(programFolder, kImageName);
    ImageOpen open;
    // A folder so deep that the path would not fit the shared buffer counts
    // as an image that cannot be opened.
    if (path.size() > kMaxPathLength) {
        open.trouble = ImageTrouble{ImageTrouble::Kind::PathTooLong, ""};
    } else if (auto trouble = files.tryOpen(path, open.size)) {
        open.trouble = ImageTrouble{trouble->missing ? ImageTrouble::Kind::Missing : ImageTrouble::Kind::Unreadable,
                                    std::move(trouble->reason)};
    } else {
        std::memcpy(imagePath, path.c_str(), path.size() + 1);
    }
    return open;
}

bool ReadCatalogueVersion(const std::string& programFolder, char (&destination)[80], const char* key) {
    std::FILE* catalogue = std::fopen(ProgramFilePath(programFolder, kCatalogueName).c_str(), "rb");
    if (!catalogue) return false;
    const bool found = FindCatalogueVersion(catalogue, key, destination);
    std::fclose(catalogue);
    return found;
}

}  // namespace package
