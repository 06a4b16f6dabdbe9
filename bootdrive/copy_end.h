// How a copy of the image onto the boot drive ended, decided in one place
// from what was seen: the step that failed, the class of its error, and
// what was seen after it. "Finish!" rests on this verdict, so it never
// calls a file delivered that a write or media error may have cut, and
// never calls a file that the transponder took a failure.
#pragma once

#include <cstdint>
#include <string>

namespace bootdrive {

// The Windows errors the verdict tells apart (file_copier_win.cpp ties
// each to its macro).
namespace winerror {
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidFunction = 1;
inline constexpr uint32_t kInvalidDrive = 15;
inline constexpr uint32_t kWriteProtect = 19;
inline constexpr uint32_t kNotReady = 21;
inline constexpr uint32_t kCrc = 23;
inline constexpr uint32_t kGenFailure = 31;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kLockViolation = 33;
inline constexpr uint32_t kNotSupported = 50;
inline constexpr uint32_t kDevNotExist = 55;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kSemTimeout = 121;
inline constexpr uint32_t kNoSuchDevice = 433;
inline constexpr uint32_t kFileInvalid = 1006;
inline constexpr uint32_t kMediaChanged = 1110;
inline constexpr uint32_t kNoMediaInDrive = 1112;
inline constexpr uint32_t kIoDevice = 1117;
inline constexpr uint32_t kDeviceNotConnected = 1167;
inline constexpr uint32_t kFileCorrupt = 1392;
inline constexpr uint32_t kDiskCorrupt = 1393;
inline constexpr uint32_t kDeviceRemoved = 1617;
}  // namespace winerror

// Errors of the wizard's own: an application's code (bit 29), which no
// Windows error carries, so that no words of Windows are given for them.
// A copy that Windows reported whole but that left a file of another size
// on the drive:
inline constexpr uint32_t kErrorWrongSize = 0x20000001;
// A step that failed with no error code from Windows (GetLastError 0):
// a failure, not a device that stopped answering.
inline constexpr uint32_t kErrorNoCode = 0x20000002;
inline constexpr bool IsWizardError(uint32_t error) { return (error & 0x20000000u) != 0; }

enum class ErrorClass {
    WriteOrMedia,      // the drive did not take what was written: a cut file may be left
    // The device stopped answering a transfer (a general failure, a time-out,
    // an I/O device error): a boot loader that stops answering to write its
    // flash and then drops off USB gives these, and so does a failing cable.
    NoAnswer,
    DriveGone,         // the drive or the file is no longer there
    Held,              // another program (a virus scanner, an indexer) holds the new file
    AccessDenied,      // the drive refuses the file, also once it is not read-only
    FlushUnsupported,  // the drive cannot be written through; the written bytes stand
    Other,
};
ErrorClass ClassOfError(uint32_t error);

// The steps of a copy, in their order.
enum class CopyStep {
    Copy,     // CopyFileExA itself
    Look,     // the file looked for again
    Reopen,   // opened again to write it through
    Flush,    // FlushFileBuffers
    Measure,  // its size read
};

// What was seen of one copy's end.
struct CopyEndFacts {
    CopyStep step = CopyStep::Copy;  // the step that failed, or the last one
    uint32_t error = 0;              // that step's Windows error; 0 when every step went through
    // The data stream's every byte went out: the progress routine said so
    // (or, where it is never called, the new file reached the image's size).
    bool everyByteSeen = false;
    // Where RootDecides: once the file's handle was closed, the drive's
    // volume went (VolumeGone) within kRootWatchLimitMs.
    bool rootGone = false;
    uint64_t measuredBytes = 0;  // the size read, when every step went through
    uint64_t imageBytes = 0;     // the image's size: what the file must have
    const char* goneHow = "";    // rootGone: how the volume was seen to go, for the log
};

enum class CopyEnd {
    Confirmed,  // written through and of the image's size
    Delivered,  // whole, but not confirmed on the device: "Finish!" all the same, nothing deleted
    Failed,     // the box; the cut file is deleted where it can be
};

struct CopyEndVerdict {
    CopyEnd end = CopyEnd::Confirmed;
    uint32_t error = 0;  // Failed: the error to report (kErrorWrongSize for a wrong size)
    // Failed: what happened in plain words, for the box after Windows' own
    // ("The new file was lost on the transponder's drive."); empty where
    // those say it plainly. The only words for kErrorWrongSize.
    std::string fault;
    // For the log: which of the three it was, and why.
    std::string why;
};

CopyEndVerdict DecideCopyEnd(const CopyEndFacts& facts);

// True when the verdict on `facts` rests on whether the drive went: the
// caller closes the file's handle, watches the drive (rootGone) and then
// asks DecideCopyEnd. So it is for a drive-gone error and for a device that
// stopped answering, at every step after the copy (the look, the reopen,
// the flush, the size read) and at the copy once every byte was seen;
// never at the copy before that.
bool RootDecides(const CopyEndFacts& facts);

// True when the step of `facts` was refused by another program holding the
// new file, and is worth asking again for kHeldRetryLimitMs.
bool HeldByAnotherProgram(const CopyEndFacts& facts);

// How long the drive is watched where RootDecides: a boot loader that
// stops answering to write its flash is reported by Windows only once its
// own time-out has run out and a reset of the device failed; then the
// volume goes. The watch ends as soon as it does (docs/DESIGN.md).
inline constexpr int kRootWatchLimitMs = 30000;
// How long a new file held by another program is asked for again.
inline constexpr int kHeldRetryLimitMs = 3000;

// How long a copy may settle (its every byte out, the drive taking them)
// before it counts as stalled, in seconds: the image at the pace of the
// slowest boot loader known to take files (4 KB/s), plus room for the
// watch of the drive and the file system's own writes, and never less than
// two minutes. `imageBytes` below 0: not known, the two minutes.
inline constexpr uint32_t kSlowestDriveBytesPerSecond = 4096;
inline constexpr uint32_t kSettleMarginSeconds = 60;
inline constexpr uint32_t kSettleFloorSeconds = 120;
uint32_t SettleLimitSeconds(int64_t imageBytes);

}  // namespace bootdrive
