#include "bootdrive/volume_gone.h"

namespace bootdrive {

std::atomic<uint32_t> VolumesAnnouncedGone{0};

namespace {
uint32_t Bit(char letter) { return letter >= 'A' && letter <= 'Z' ? 1u << (letter - 'A') : 0; }
constexpr unsigned kDriveUnknown = 0;    // DRIVE_UNKNOWN
constexpr unsigned kDriveNoRootDir = 1;  // DRIVE_NO_ROOT_DIR
constexpr unsigned kErrorFileNotFound = 2;   // ERROR_FILE_NOT_FOUND
constexpr unsigned kErrorPathNotFound = 3;   // ERROR_PATH_NOT_FOUND
constexpr unsigned kErrorInvalidDrive = 15;  // ERROR_INVALID_DRIVE
}  // namespace

void NoteVolumesRemoved(uint32_t letters) { VolumesAnnouncedGone.fetch_or(letters, std::memory_order_relaxed); }

void ForgetVolumeRemoval(char letter) { VolumesAnnouncedGone.fetch_and(~Bit(letter), std::memory_order_relaxed); }

const char* VolumeGone(DriveSystem& drives, char letter) {
    const uint32_t bit = Bit(letter);
    if (bit == 0) return nullptr;
    // The announcement first: it also tells a drive that went and came back
    // between two looks.
    if (VolumesAnnouncedGone.load(std::memory_order_relaxed) & bit) return "Windows announced its removal";
    if ((drives.logicalDrives() & bit) == 0) return "its letter went";
    const unsigned type = drives.driveType(letter);
    if (type == kDriveUnknown || type == kDriveNoRootDir) return "its root is no longer a drive";
    // Windows may list a letter for a moment after its volume went (and
    // Wine keeps it, with its type, for good): a root that is not found is
    // not there, where a device that stopped answering gives a time-out.
    const unsigned rootError = drives.rootError(letter);
    if (rootError == kErrorFileNotFound || rootError == kErrorPathNotFound || rootError == kErrorInvalidDrive)
        return "its root is no longer found";
    return nullptr;
}

}  // namespace bootdrive
