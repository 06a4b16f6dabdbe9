#include "bootdrive/file_copier_win.h"

#include <memory>
#include <optional>
#include <string>

#include "base/system_message_win.h"
#include "base/unique_handle_win.h"
#include "bootdrive/Copyfilethread.h"
#include "bootdrive/copy_progress.h"
#include "bootdrive/last_byte_watch_win.h"
#include "bootdrive/volume_gone.h"

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
    progress->called.store(true, std::memory_order_relaxed);
    // The data stream's own counts: the totals also count other streams,
    // such as the Zone.Identifier of a downloaded image, which a FAT drive
    // cannot take.
    if (streamNumber == 1 && callbackReason == CALLBACK_CHUNK_FINISHED &&
        streamBytesTransferred.QuadPart >= streamSize.QuadPart) {
        progress->everyByteSeen = true;
        MarkCopySettling();
    }
    // Asked to stop: Windows ends the copy and deletes the target.
    if (progress->stop && progress->stop->load()) return PROGRESS_CANCEL;
    return PROGRESS_CONTINUE;
}

namespace {

// Milliseconds since the system started, for the waits below.
uint64_t Now() { return GetTickCount64(); }

// The drive's letter of a path "X:\...", in capitals, or 0.
char LetterOf(const char* path) {
    const char c = path[0];
    if (path[1] != ':') return 0;
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? c : 0;
}

// The error of the call that just failed; one that gave none is a failure
// without a code, never taken for success or for a device's silence.
uint32_t FailureError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : kErrorNoCode;
}

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
        facts.error = FailureError();
    } else if (!FlushFileBuffers(file.get())) {
        facts.step = CopyStep::Flush;
        facts.error = FailureError();
    } else if (!GetFileSizeEx(file.get(), &size)) {
        facts.step = CopyStep::Measure;
        facts.error = FailureError();
    } else {
        facts.step = CopyStep::Measure;
        facts.measuredBytes = static_cast<uint64_t>(size.QuadPart);
    }
}

}  // namespace

void WatchDrive(const char* path, DriveSystem& drives, int watchMs, CopyEndFacts& facts) {
    facts.rootGone = false;
    const char letter = LetterOf(path);
    if (letter == 0) return;
    const uint64_t until = Now() + static_cast<uint64_t>(watchMs);
    for (;;) {
        if (const char* how = VolumeGone(drives, letter)) {
            facts.rootGone = true;
            facts.goneHow = how;
            return;
        }
        if (Now() >= until) return;
        Sleep(100);
    }
}

CopyEndVerdict SettleCopiedFile(const char* path, uint64_t imageBytes, DriveSystem& drives, int watchMs) {
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
        facts.error = FailureError();
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
    if (RootDecides(facts)) WatchDrive(path, drives, watchMs, facts);
    return DecideCopyEnd(facts);
}

namespace {

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
        // Only a removal Windows announces during this copy counts.
        ForgetVolumeRemoval(LetterOf(to));
        CopyProgressData progress;
        progress.stop = &stop;
        CopyEndVerdict verdict;
        bool written = false;
        uint32_t error = ERROR_SUCCESS;
        {
            std::optional<LastByteWatch> lastByte;
            if (image) lastByte.emplace(lastByteWatcher_, to, BytesOf(*image), before, progress);
            written = CopyFileExA(from, to, ReportCopyProgress, &progress, nullptr, 0) != FALSE;
            if (!written) error = FailureError();
        }
        if (!written) {
            CopyEndFacts facts;
            facts.error = error;
            // A device that takes its file once the last bytes are in may
            // drop its drive, or go silent, before Windows has closed it.
            facts.everyByteSeen = progress.everyByteSeen;
            if (RootDecides(facts)) {
                MarkCopySettling();
                WatchDrive(to, *drives_, kRootWatchLimitMs, facts);
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
        if (!IsWizardError(verdict.error)) result.reason = win::SystemMessage(verdict.error);
        return result;
    }
    void nameThisThread(const char* name) override { NameCurrentThreadForDebuggers(name); }

private:
    std::unique_ptr<DriveSystem> drives_ = makeSystemDrives();
    LastByteWatcher lastByteWatcher_;
};

}  // namespace

std::unique_ptr<FileCopier> makeSystemFileCopier() { return std::make_unique<SystemFileCopier>(); }

}  // namespace bootdrive
