// What the firmware package asks of the file system: the image is only ever
// read. The Windows one is package/image_files_win.cpp; the standard C
// library's serves the native builds (tests, tools).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace package {

// Why a file cannot be read.
struct FileTrouble {
    bool missing = false;  // no such file, or no such folder on its path
    std::string reason;    // in the system's own words
};

// Its calls may come from any thread.
class ImageFiles {
public:
    virtual ~ImageFiles() = default;
    // Opens `path` for reading, as others may read and write it meanwhile,
    // and closes it again; sets `size` to its length in bytes (-1 when it
    // cannot be told). None when it opened.
    virtual std::optional<FileTrouble> tryOpen(const std::string& path, long long& size) = 0;
    // Reads the file from its start, handing each piece to `take` until its
    // end or until `take` returns false. None when every read went well.
    virtual std::optional<FileTrouble> read(const std::string& path,
                                            const std::function<bool(std::string_view)>& take) = 0;
};

// The standard C library's files; a reason is strerror's text.
ImageFiles& StandardImageFiles();

// Windows' files, through its own calls; a reason is Windows' text. It
// lives as long as the process.
ImageFiles& SystemImageFiles();

}  // namespace package
