#include "bootdrive/file_copier_win.h"

#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "base/system_message_win.h"
#include "base/unique_handle_win.h"
#include "bootdrive/Copyfilethread.h"
#include "bootdrive/copy_progress.h"

namespace bootdrive {

static_assert(winerror::kFileNotFound == ERROR_FILE_NOT_FOUND && winerror::kPathNotFound == ERROR_PATH_NOT_FOUND &&
                  winerror::kAccessDenied == ERROR_ACCESS_DENIED && winerror::kInvalidFunction == ERROR_INVALID_FUNCTION &&
                  winerror::kInvalidDrive == ERROR_INVALID_DRIVE && winerror::kWriteProtect == ERROR_WRITE_PROTECT &&
                  winerror::kNotReady == ERROR_NOT_READY && winerror::kCrc == ERROR_CRC &&
                  winerror::kGenFailure == ERROR_GEN_FAILURE && winerror::kSharingViolation == ERROR_SHARING_VIOLATION &&
                  winerror::kLockViolation == ERROR_LOCK_VIOLATION && winerror::kNotSupported == ERROR_NOT_SUPPORTED &&
                  winerror::kDevNotExist == ERROR_DEV_NOT_EXIST && winerror::kDiskFull == ERROR_DISK_FULL &&
                  winerror::kSemTimeout == ERROR_SEM_TIMEOUT && winerror::kMediaChanged == ERROR_MEDIA_CHANGED &&
                  winerror::kNoMediaInDrive == ERROR_NO_MEDIA_IN_DRIVE && winerror::kIoDevice == ERROR_IO_DEVICE &&
                  winerror::kFileInvalid == ERROR_FILE_INVALID &&
                  winerror::kDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED &&
                  winerror::kFileCorrupt == ERROR_FILE_CORRUPT && winerror::kDiskCorrupt == ERROR_DISK_CORRUPT &&
                  winerror::kDeviceRemoved == ERROR_DEVICE_REMOVED,
              "the verdict's error numbers are Windows' own");
// ERROR_NO_SUCH_DEVICE, which this SDK lacks, is 433.

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                  LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred, DWORD streamNumber,
                                  DWORD callbackReason, HANDLE, HANDLE, LPVOID data) {
    PublishCopyProgress(static_cast<uint64_t>(totalFileSize.QuadPart),
                        static_cast<uint64_t>(totalBytesTransferred.QuadPart));
    auto* const progress = static_cast<CopyProgressData*>(data);
    if (!progress) return PROGRESS_CONTINUE;
    // The data stream's own counts: the totals also count other streams,
    // such as the Zone.Identifier of a downloaded image, which a FAT drive
    // cannot take.
    if (streamNumber == 1 && callbackReason == CALLBACK_CHUNK_FINISHED &&
        streamBytesTransferred.QuadPart >= streamSize.QuadPart)
        progress->everyByteSeen = true;
    // Asked to stop: Windows ends the copy and deletes the target.
    if (progress->stop && progress->stop->load()) return PROGRESS_CANCEL;
    return PROGRESS_CONTINUE;
}

namespace {

// Milliseconds since the system started, for the waits below.
uint64_t Now() { return GetTickCount64(); }

// The drive's letter of a path "X:\...", or 0.
char LetterOf(const char* path) { return path[0] != '\0' && path[1] == ':' ? path[0] : 0; }

// Reopens the copied file, writes it through and measures it, once.
void WriteThrough(const char* path, CopyEndFacts& facts) {
    // The handle is closed before anything is decided: the drive may only
    // go once nothing of it is held open.
    win::KernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    facts.error = ERROR_SUCCESS;
    if (!file.valid()) {
        facts.step = CopyStep::Reopen;
        facts.error = GetLastError();
    } else if (!FlushFileBuffers(file.get())) {
        facts.step = CopyStep::Flush;
        facts.error = GetLastError();
    } else if (!GetFileSizeEx(file.get(), &size)) {
        facts.step = CopyStep::Measure;
        facts.error = GetLastError();
    } else {
        facts.step = CopyStep::Measure;
        facts.measuredBytes = static_cast<uint64_t>(size.QuadPart);
    }
}

}  // namespace

bool DriveRootGoes(const char* path, DriveSystem& drives) {
    const char letter = LetterOf(path);
    if (letter == 0) return false;
    const uint64_t until = Now() + kRootGoneLimitMs;
    for (;;) {
        if (!drives.rootOpens(letter)) return true;
        if (Now() >= until) return false;
        Sleep(100);
    }
}

CopyEndVerdict SettleCopiedFile(const char* path, uint64_t imageBytes, DriveSystem& drives) {
    // Under the removal policy "Better performance" the last clusters and
    // the directory entry may still sit in the cache when CopyFileExA has
    // returned, and a directory entry that cannot be written when the file
    // is closed is not reported by it. The copy carries the image's
    // attributes over: a read-only image (from a CD, a read-only share)
    // makes a read-only target, which is reopened once it is not.
    CopyEndFacts facts;
    facts.imageBytes = imageBytes;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        facts.step = CopyStep::Look;
        facts.error = GetLastError();
    } else {
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            const DWORD others = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
            // A failure shows in the reopen.
            SetFileAttributesA(path, others != 0 ? others : FILE_ATTRIBUTE_NORMAL);
        }
        // A virus scanner or an indexer may hold the new file for a moment:
        // it is asked again, so that it does not also skip the flush.
        const uint64_t until = Now() + kHeldRetryLimitMs;
        for (;;) {
            WriteThrough(path, facts);
            if (facts.error == ERROR_SUCCESS || !HeldByAnotherProgram(facts) || Now() >= until) break;
            Sleep(100);
        }
    }
    if (RootDecides(facts)) facts.rootGone = DriveRootGoes(path, drives);
    return DecideCopyEnd(facts);
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
        // The image is only ever read: its size before the copy is the size
        // the target must have.
        const auto image = StampOf(from);
        CopyProgressData progress;
        progress.stop = &stop;
        CopyEndVerdict verdict;
        const bool written = CopyFileExA(from, to, ReportCopyProgress, &progress, nullptr, 0) != FALSE;
        if (!written) {
            CopyEndFacts facts;
            facts.error = GetLastError();
            if (facts.error == ERROR_SUCCESS) facts.error = ERROR_GEN_FAILURE;
            // A device that takes its file once the last bytes are in may
            // drop its drive before Windows has closed it.
            facts.everyByteSeen = progress.everyByteSeen;
            if (RootDecides(facts)) {
                MarkCopySettling();
                facts.rootGone = DriveRootGoes(to, *drives_);
            }
            verdict = DecideCopyEnd(facts);
        } else if (!image) {
            verdict = {CopyEnd::Failed, ERROR_FILE_NOT_FOUND, "", "failed: the image could not be measured"};
        } else {
            MarkCopySettling();
            verdict = SettleCopiedFile(to, BytesOf(*image), *drives_);
        }
        CopyResult result;
        result.why = verdict.why;
        if (verdict.end != CopyEnd::Failed) {
            if (verdict.end == CopyEnd::Delivered) result.unconfirmed = verdict.why;
            return result;
        }
        result.error = verdict.error;
        result.fault = verdict.fault;
        // CopyFileExA may leave the target cut where the drive filled up or
        // went: a target that is new, or no longer the one it replaced, is
        // this copy's and goes; so does one that was written whole but is
        // not sure to be on the device.
        const auto after = StampOf(to);
        if (after && (written || after != before)) result.cutTargetRemoved = RemoveFile(to);
        if (verdict.error != kErrorWrongSize) result.reason = win::SystemMessage(verdict.error);
        return result;
    }
    void nameThisThread(const char* name) override { NameCurrentThreadForDebuggers(name); }

private:
    std::unique_ptr<DriveSystem> drives_ = makeSystemDrives();
};

}  // namespace

std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<SystemFileCopier>(); }

}  // namespace bootdrive
