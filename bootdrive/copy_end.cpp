#include "bootdrive/copy_end.h"

namespace bootdrive {

ErrorClass ClassOfError(uint32_t error) {
    using namespace winerror;
    switch (error) {
        case kWriteProtect:
        case kCrc:
        case kDiskFull:
        case kFileCorrupt:
        case kDiskCorrupt:
            return ErrorClass::WriteOrMedia;
        case kGenFailure:
        case kSemTimeout:
        case kIoDevice:
            return ErrorClass::NoAnswer;
        case kFileNotFound:
        case kPathNotFound:
        case kInvalidDrive:
        case kNotReady:
        case kDevNotExist:
        case kNoSuchDevice:
        case kFileInvalid:  // FAT's word for a handle on a volume that was pulled
        case kMediaChanged:
        case kNoMediaInDrive:
        case kDeviceNotConnected:
        case kDeviceRemoved:
            return ErrorClass::DriveGone;
        case kSharingViolation:
        case kLockViolation:
            return ErrorClass::Held;
        case kAccessDenied:
            return ErrorClass::AccessDenied;
        case kInvalidFunction:
        case kNotSupported:
            return ErrorClass::FlushUnsupported;
        default:
            return ErrorClass::Other;
    }
}

namespace {

const char* StepWords(CopyStep step) {
    switch (step) {
        case CopyStep::Copy: return "the copy";
        case CopyStep::Look: return "the look for the new file";
        case CopyStep::Reopen: return "the new file's reopening";
        case CopyStep::Flush: return "the write-through";
        case CopyStep::Measure: return "the new file's measuring";
    }
    return "";
}

// What the box adds in plain words after Windows' own, where those are
// not plain enough; empty where they are.
std::string PlainFault(uint32_t error) {
    using namespace winerror;
    switch (error) {
        case kCrc:
        case kGenFailure:
        case kSemTimeout:
        case kIoDevice:
            return "The drive reported a fault while the file was written to it. Check the USB cable, connect the "
                   "transponder without a hub between, and run the upgrade again.";
        case kFileCorrupt:
        case kDiskCorrupt: return "The file system of the transponder's drive is damaged.";
        case kAccessDenied: return "The transponder's drive refused the file.";
        default: return "";
    }
}

std::string Code(uint32_t error) {
    return IsWizardError(error) ? std::string() : " (Windows error " + std::to_string(error) + ")";
}

CopyEndVerdict Failed(const CopyEndFacts& facts, std::string fault, const std::string& why) {
    return {CopyEnd::Failed, facts.error, std::move(fault),
            "failed: " + std::string(StepWords(facts.step)) + " " + why + Code(facts.error)};
}

CopyEndVerdict Delivered(const CopyEndFacts& facts, const std::string& why) {
    const std::string how = facts.rootGone && *facts.goneHow ? std::string("; ") + facts.goneHow : "";
    return {CopyEnd::Delivered, 0, "", why + Code(facts.error) + how};
}

}  // namespace

bool RootDecides(const CopyEndFacts& facts) {
    switch (ClassOfError(facts.error)) {
        case ErrorClass::DriveGone:
        case ErrorClass::NoAnswer:
            // A boot loader may take its file at the close that made it
            // whole and go silent to write its flash: the reopen that
            // follows meets no answer as the flush would.
            return facts.step != CopyStep::Copy || facts.everyByteSeen;
        default:
            return false;
    }
}

uint32_t SettleLimitSeconds(int64_t imageBytes) {
    if (imageBytes < 0) return kSettleFloorSeconds;
    const uint64_t atSlowestPace =
        (static_cast<uint64_t>(imageBytes) + kSlowestDriveBytesPerSecond - 1) / kSlowestDriveBytesPerSecond;
    const uint64_t limit = atSlowestPace + kSettleMarginSeconds;
    if (limit < kSettleFloorSeconds) return kSettleFloorSeconds;
    return limit > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(limit);
}

bool HeldByAnotherProgram(const CopyEndFacts& facts) { return ClassOfError(facts.error) == ErrorClass::Held; }

CopyEndVerdict DecideCopyEnd(const CopyEndFacts& facts) {
    if (facts.error == 0) {
        if (facts.measuredBytes == facts.imageBytes)
            return {CopyEnd::Confirmed, 0, "", "confirmed: written through, " + std::to_string(facts.measuredBytes) +
                                                   " bytes as the image"};
        const std::string sizes = std::to_string(facts.measuredBytes) + " bytes, not the image's " +
                                  std::to_string(facts.imageBytes);
        return {CopyEnd::Failed, kErrorWrongSize, "The file on the drive has " + sizes + ".",
                "failed: written through, the file has " + sizes};
    }
    const ErrorClass cls = ClassOfError(facts.error);
    switch (cls) {
        case ErrorClass::WriteOrMedia:
            return Failed(facts, PlainFault(facts.error), "met a write or media error: the file may be cut");
        case ErrorClass::NoAnswer:
            // A boot loader stops answering to write its flash, then drops
            // off USB: only the drive going tells that from a failing cable.
            if (!RootDecides(facts))
                return Failed(facts, PlainFault(facts.error),
                              "met a device that stopped answering: the file may be cut");
            if (!facts.rootGone)
                return Failed(facts, PlainFault(facts.error),
                              "met a device that stopped answering while its drive stayed: the file may be cut");
            return Delivered(facts, "the device stopped answering " + std::string(StepWords(facts.step)) +
                                        ", then its drive went away: the transponder took the file");
        case ErrorClass::AccessDenied:
            return Failed(facts, PlainFault(facts.error), "was refused, with the file no longer read-only");
        case ErrorClass::DriveGone:
            // Only a drive that went is a device that took its file; a file
            // gone from a drive still there never reached it whole.
            if (!RootDecides(facts))
                return Failed(facts, "", "ended as the drive went, before the whole file was written");
            if (!facts.rootGone)
                return Failed(facts, "The new file was lost on the transponder's drive.",
                              "lost the file while its drive stayed");
            return Delivered(facts, "the drive went away as the copy ended: the transponder took the file; " +
                                        std::string(StepWords(facts.step)) + " found it gone");
        case ErrorClass::Held:
            if (facts.step == CopyStep::Copy) return Failed(facts, "", "was refused: another program holds the file");
            return Delivered(facts, std::string(StepWords(facts.step)) +
                                        " was refused for 3 s: another program, such as a virus scanner, holds "
                                        "the new file");
        case ErrorClass::FlushUnsupported:
            if (facts.step == CopyStep::Flush)
                return Delivered(facts, "the drive cannot be written through; Windows holds the whole file");
            return Failed(facts, "", "failed");
        case ErrorClass::Other:
            break;
    }
    if (facts.error == kErrorNoCode)
        return Failed(facts, "Windows gave no reason for it.", "failed without an error code");
    return Failed(facts, "", "failed");
}

}  // namespace bootdrive
