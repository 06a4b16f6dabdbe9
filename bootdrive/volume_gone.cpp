#include "bootdrive/volume_gone.h"

namespace bootdrive {

std::atomic<uint32_t> VolumesAnnouncedGone{0};

namespace {
uint32_t Bit(char letter) { return letter >= 'A' && letter <= 'Z' ? 1u << (letter - 'A') : 0; }
constexpr unsigned kDriveUnknown = 0;    // DRIVE_UNKNOWN
constexpr unsigned kDriveNoRootDir = 1;  // DRIVE_NO_ROOT_DIR
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
    return nullptr;
}

}  // namespace bootdrive
