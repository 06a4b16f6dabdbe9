#include "package/image_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace package {

namespace {

FileTrouble TroubleFromErrno(int error) { return FileTrouble{error == ENOENT || error == ENOTDIR, std::strerror(error)}; }

class StandardFiles final : public ImageFiles {
public:
    std::optional<FileTrouble> tryOpen(const std::string& path, long long& size) override {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return TroubleFromErrno(errno);
        size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
        std::fclose(file);
        return std::nullopt;
    }

    std::optional<FileTrouble> read(const std::string& path,
                                    const std::function<bool(std::string_view)>& take) override {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return TroubleFromErrno(errno);
        char buffer[16384];
        std::optional<FileTrouble> trouble;
        for (;;) {
            const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
            if (got > 0 && !take(std::string_view(buffer, got))) break;
            if (got < sizeof buffer) {
                if (std::ferror(file)) trouble = TroubleFromErrno(errno);
                break;
            }
        }
        std::fclose(file);
        return trouble;
    }
};

}  // namespace

ImageFiles& StandardImageFiles() {
    static StandardFiles files;
    return files;
}

}  // namespace package
