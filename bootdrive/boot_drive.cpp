#include "bootdrive/boot_drive.h"

#include <string>
#include <string_view>
#include <vector>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/drive_paths.h"

namespace bootdrive {

namespace {

// Labels and names are held in buffers of 255 characters and the zero, so
// only their first 255 characters take part in a comparison.
std::string_view Clipped(const std::string& text) {
    std::string_view view(text);
    return view.substr(0, kPathBufferSize - 1);
}

bool IsBootLabel(std::string_view label) {
    for (const char* bootLabel : kBootVolumeLabels) {
        if (label.find(bootLabel) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

int32_t FindBootDrive(DriveSystem& drives) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (drives.driveType(letter) != kDriveRemovable) continue;
        std::string label;
        if (!drives.volumeLabel(letter, label)) continue;
        if (!IsBootLabel(Clipped(label))) continue;
        FormatTargetPath(letter, FirmwareTargetPath);
        return letter;
    }
    return -1;
}

bool BootDriveHasFile(DriveSystem& drives, uint8_t bootDriveLetter, const char* name) {
    if (bootDriveLetter == kNoBootDrive || name == nullptr) return false;
    std::vector<std::string> names;
    if (!drives.rootTxtNames(static_cast<char>(bootDriveLetter), names)) return false;
    for (const std::string& found : names) {
        if (Clipped(found).find(name) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace bootdrive
