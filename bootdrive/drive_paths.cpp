#include "bootdrive/drive_paths.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/utf8_text.h"

namespace bootdrive {

std::string DriveRoot(char letter) { return std::string(1, letter) + ":\\"; }

std::string RootTxtPattern(char letter) { return DriveRoot(letter) + "*.txt"; }

void FormatTargetPath(char letter, char (&out)[kPathBufferSize]) {
    std::snprintf(out, sizeof out, "%c:\\%s", letter, kFirmwareFileName);
}

void CopyPath(char (&out)[kPathBufferSize], const char* from) {
    std::size_t n = 0;
    if (from != nullptr) {
        while (n < kPathBufferSize && from[n] != '\0') ++n;
        // Never a cut character: a path cut inside one names another file.
        n = base::Utf8PrefixLength(std::string_view(from, n), kPathBufferSize - 1);
        std::memcpy(out, from, n);
    }
    out[n] = '\0';
}

}  // namespace bootdrive
