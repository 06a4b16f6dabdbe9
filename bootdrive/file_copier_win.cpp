#include "bootdrive/file_copier_win.h"

#include <optional>
#include <tuple>

#include "base/unique_handle_win.h"
#include "bootdrive/Copyfilethread.h"
#include "bootdrive/copy_progress.h"

namespace bootdrive {

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                  LPVOID stop) {
    PublishCopyProgress(static_cast<uint64_t>(totalFileSize.QuadPart),
                        static_cast<uint64_t>(totalBytesTransferred.QuadPart));
    // Asked to stop: Windows ends the copy and deletes the target.
    if (stop && static_cast<const std::atomic<bool>*>(stop)->load()) return PROGRESS_CANCEL;
    return PROGRESS_CONTINUE;
}

DWORD SettleCopiedFile(const char* path, uint64_t expectedBytes) {
    // Under the removal policy "Better performance" the last clusters and
    // the directory entry may still sit in the cache when CopyFileExA has
    // returned, and a directory entry that cannot be written when the file
    // is closed is not reported by it.
    win::KernelHandle file(
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return GetLastError();
    if (!FlushFileBuffers(file.get())) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
    return static_cast<uint64_t>(size.QuadPart) == expectedBytes ? ERROR_SUCCESS : ERROR_FILE_INVALID;
}

namespace {

// What tells a file's content changed: its size and last write time.
using FileStamp = std::tuple<DWORD, DWORD, DWORD, DWORD>;

std::optional<FileStamp> StampOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return std::nullopt;
    return FileStamp{data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime.dwHighDateTime,
                     data.ftLastWriteTime.dwLowDateTime};
}

uint64_t BytesOf(const FileStamp& stamp) { return (uint64_t{std::get<0>(stamp)} << 32) | std::get<1>(stamp); }

// The error in the system's words, in the user's language, on one line.
std::string SystemMessage(DWORD error) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, n < sizeof text ? n : 0);
    while (!message.empty() && (message.back() == ' ' || message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message;
}

class SystemFileCopier final : public FileCopier {
public:
    CopyResult copyFile(const char* from, const char* to, const std::atomic<bool>& stop) override {
        const auto before = StampOf(to);
        const auto image = StampOf(from);
        void* const stopFlag = const_cast<std::atomic<bool>*>(&stop);
        DWORD error = ERROR_SUCCESS;
        bool written = false;  // the copy itself went through
        if (!CopyFileExA(from, to, ReportCopyProgress, stopFlag, nullptr, 0)) {
            error = GetLastError();
            if (error == ERROR_SUCCESS) error = ERROR_GEN_FAILURE;
        } else {
            // The image is only ever read: its size before the copy is the
            // size the target must have.
            error = image ? SettleCopiedFile(to, BytesOf(*image)) : ERROR_FILE_NOT_FOUND;
            if (error == ERROR_SUCCESS) return CopyResult{};
            written = true;
        }
        CopyResult result;
        result.error = error;
        // CopyFileExA may leave the target cut where the drive filled up or
        // went: a target that is new, or no longer the one it replaced, is
        // this copy's and goes; so does one that was written whole but is
        // not sure to be on the device.
        const auto after = StampOf(to);
        if (after && (written || after != before)) result.cutTargetRemoved = DeleteFileA(to) != FALSE;
        result.reason = SystemMessage(result.error);
        return result;
    }
    void nameThisThread(const char* name) override { NameCurrentThreadForDebuggers(name); }
};

}  // namespace

std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<SystemFileCopier>(); }

}  // namespace bootdrive
