// The firmware image read through Windows' own calls, so that a file that
// cannot be read comes with Windows' reason (another program holds it,
// access is refused).
#include <windows.h>

#include <vector>

#include "base/system_message_win.h"
#include "base/unique_handle_win.h"
#include "package/image_files.h"

namespace package {

namespace {

using File = win::UniqueHandle<win::KernelObject>;

FileTrouble TroubleFrom(DWORD error) {
    return FileTrouble{error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND, win::SystemMessage(error)};
}

// Shared as the C library's "rb" shares a file: others may read and write it.
File OpenForReading(const std::string& path) {
    return File(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

class WindowsFiles final : public ImageFiles {
public:
    std::optional<FileTrouble> tryOpen(const std::string& path, long long& size) override {
        const File file = OpenForReading(path);
        if (!file) return TroubleFrom(GetLastError());
        LARGE_INTEGER bytes;
        size = GetFileSizeEx(file.get(), &bytes) ? bytes.QuadPart : -1;
        return std::nullopt;
    }

    std::optional<FileTrouble> read(const std::string& path,
                                    const std::function<bool(std::string_view)>& take) override {
        const File file = OpenForReading(path);
        if (!file) return TroubleFrom(GetLastError());
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                return TroubleFrom(GetLastError());
            if (got == 0 || !take(std::string_view(buffer.data(), got))) return std::nullopt;
        }
    }
};

}  // namespace

ImageFiles& SystemImageFiles() {
    static WindowsFiles files;
    return files;
}

}  // namespace package
