// Recognising the device's boot drive and its status files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bootdrive/drive_system.h"

namespace bootdrive {

inline constexpr uint8_t kNoBootDrive = 255;
inline constexpr const char* kReadyFile = "READY.TXT";
// Volume labels of the boot drive, in the order they are tried; each is a
// case-sensitive substring of the label.
inline constexpr const char* kBootVolumeLabels[] = {"VAZ UD40", "RUZ I ZA"};

// Letter code 'A'..'Z' of the first removable drive with a boot label, or
// -1. On success FirmwareTargetPath becomes "X:\AIS_Firmware.S19".
int32_t FindBootDrive(DriveSystem& drives);

// True when the root folder of the boot drive holds an entry whose name
// contains `name` (case-sensitive). False without a search for 255.
bool BootDriveHasFile(DriveSystem& drives, uint8_t bootDriveLetter, const char* name);

// One look for the boot drive ready for the image, as Start and the
// control timer take it: FindBootDrive, then, when there is a boot drive,
// BootDriveHasFile with READY.TXT.
struct BootDriveLook {
    int32_t drive = -1;  // FindBootDrive's result
    bool ready = false;  // READY.TXT lies in the boot drive's root
    // For the log: the removable drives looked at with their labels, then
    // the outcome: "E: "VAZ UD40"; boot drive E:, READY.TXT found".
    std::string seen;
};
BootDriveLook LookForReadyBootDrive(DriveSystem& drives);

// A look at the drives after the image was copied onto the drive `letter`:
// whether that drive's root can still be reached, whether a boot drive (at
// any letter) lies ready for an image, and whether that one still holds
// the image delivered (AIS_Firmware.S19 of `imageBytes`, any size when
// none is given): the same device, not restarted. It leaves
// FirmwareTargetPath alone, and may run on another thread than the
// window's.
struct DriveReturnLook {
    bool driveThere = false;  // the root of `letter` can be reached
    int32_t readyDrive = -1;  // a boot drive with READY.TXT, or -1
    bool imageThere = false;  // the ready drive holds the image delivered
    std::string seen;         // for the log: "E: gone; no boot drive ready"
};
DriveReturnLook LookAtDrivesAfterCopy(DriveSystem& drives, char letter, std::optional<uint64_t> imageBytes);

}  // namespace bootdrive
