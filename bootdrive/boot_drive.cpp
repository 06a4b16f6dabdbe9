// Placeholder until boot drive recognition lands.
#include "bootdrive/boot_drive.h"

namespace bootdrive {
int32_t FindBootDrive(DriveSystem&) { return -1; }
bool BootDriveHasFile(DriveSystem&, uint8_t, const char*) { return false; }
}  // namespace bootdrive
