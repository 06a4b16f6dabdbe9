// Recognising the device's boot drive and its status files.
#pragma once

#include <cstdint>

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

}  // namespace bootdrive
