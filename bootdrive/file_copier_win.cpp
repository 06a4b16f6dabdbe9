#include "bootdrive/file_copier_win.h"

#include <optional>
#include <string>
#include <tuple>

#include "base/system_message_win.h"
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

namespace {

// Errors with which a file fails once its drive has gone: a boot loader
// that takes the file as soon as it is whole may restart, or drop its
// drive, at the very close that makes it so.
bool DriveGoneError(DWORD error) {
    constexpr DWORD kNoSuchDevice = 433;  // ERROR_NO_SUCH_DEVICE, which this SDK lacks
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case kNoSuchDevice:
        case ERROR_MEDIA_CHANGED:
        case ERROR_NO_MEDIA_IN_DRIVE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
            return true;
        default:
            return false;
    }
}

// Why a whole copy is not confirmed on the device, for the log.
std::string Unconfirmed(DWORD error, const char* step) {
    const std::string code = " (Windows error " + std::to_string(error) + ")";
    if (DriveGoneError(error)) return "the drive went away as the copy ended: the transponder took the file" + code;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return std::string("the new file could not be ") + step +
               ": another program, such as a virus scanner, holds it" + code;
    if (error == ERROR_ACCESS_DENIED)
        return std::string("the new file could not be ") + step +
               ": access was refused (a write-protected drive, or another program that holds the file)" + code;
    return std::string("the new file could not be ") + step + code;
}

}  // namespace

SettledCopy SettleCopiedFile(const char* path, uint64_t expectedBytes) {
    // Under the removal policy "Better performance" the last clusters and
    // the directory entry may still sit in the cache when CopyFileExA has
    // returned, and a directory entry that cannot be written when the file
    // is closed is not reported by it. The copy carries the image's
    // attributes over: a read-only image (from a CD, a read-only share)
    // makes a read-only target, which is reopened once it is not.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return {ERROR_SUCCESS, Unconfirmed(GetLastError(), "found again")};
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        const DWORD others = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        // A failure shows in the open below.
        SetFileAttributesA(path, others != 0 ? others : FILE_ATTRIBUTE_NORMAL);
    }
    win::KernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return {ERROR_SUCCESS, Unconfirmed(GetLastError(), "opened to write it through")};
    if (!FlushFileBuffers(file.get())) {
        const DWORD error = GetLastError();
        // A file still there that cannot be written through may be cut on
        // the device; one whose drive went was taken.
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return {error, ""};
        return {ERROR_SUCCESS, Unconfirmed(error, "written through")};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return {ERROR_SUCCESS, Unconfirmed(GetLastError(), "measured")};
    if (static_cast<uint64_t>(size.QuadPart) != expectedBytes) return {ERROR_FILE_INVALID, ""};
    return {};
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

// Deletes a file, also one that the copy made read-only.
bool RemoveFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) != FALSE;
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
            const SettledCopy settled =
                image ? SettleCopiedFile(to, BytesOf(*image)) : SettledCopy{ERROR_FILE_NOT_FOUND, ""};
            if (settled.error == ERROR_SUCCESS) {
                CopyResult delivered;
                delivered.unconfirmed = settled.unconfirmed;
                return delivered;
            }
            error = settled.error;
            written = true;
        }
        CopyResult result;
        result.error = error;
        // CopyFileExA may leave the target cut where the drive filled up or
        // went: a target that is new, or no longer the one it replaced, is
        // this copy's and goes; so does one that was written whole but is
        // not sure to be on the device.
        const auto after = StampOf(to);
        if (after && (written || after != before)) result.cutTargetRemoved = RemoveFile(to);
        result.reason = win::SystemMessage(result.error);
        return result;
    }
    void nameThisThread(const char* name) override { NameCurrentThreadForDebuggers(name); }
};

}  // namespace

std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<SystemFileCopier>(); }

}  // namespace bootdrive
