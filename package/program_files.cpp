#include "package/program_files.h"

namespace package {

std::string LocalRelativeName(const char* relativeName) {
    std::string name(relativeName);
#ifndef _WIN32
    for (char& c : name)
        if (c == '\\') c = '/';
#endif
    return name;
}

std::string ProgramFilePath(const std::string& programFolder, const char* relativeName) {
    return programFolder + LocalRelativeName(relativeName);
}

}  // namespace package
