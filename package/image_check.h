// What stands in the way of copying the firmware image, and the check of
// its content.
#pragma once

#include <optional>
#include <string>

#include "package/image_files.h"

namespace package {

// Why the image cannot be used.
struct ImageTrouble {
    enum class Kind {
        Missing,      // no such file, or no Bin folder
        PathTooLong,  // its path does not fit the 255 characters of the path buffers
        Unreadable,   // it cannot be opened or read: `reason` is the system's
        Damaged,      // its S-records fail: `reason` names the first line that fails, and why
    };
    Kind kind = Kind::Missing;
    std::string reason;
};

struct ImageVerdict {
    bool checked = false;                 // S-records, checked line by line
    std::optional<ImageTrouble> trouble;  // none: the image may be copied
};

// Reads the image at `path` from its start and checks it as S-records
// (package/srecord_check.h); an image that is no S-record text passes
// unchecked. Reading stops at the first fault.
ImageVerdict CheckImage(ImageFiles& files, const std::string& path);

}  // namespace package
