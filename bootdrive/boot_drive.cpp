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

// The letter of the first removable drive with a boot label, or -1,
// adding each removable drive it looks at to `seen`.
int32_t FindBootLetter(DriveSystem& drives, std::string* seen) {
    // A letter Windows does not list is never asked about: on some systems
    // even the question wakes an empty slot.
    const uint32_t present = drives.logicalDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((present >> (letter - 'A') & 1u) == 0) continue;
        if (drives.driveType(letter) != kDriveRemovable) continue;
        std::string label;
        const bool readable = drives.volumeLabel(letter, label);
        if (seen) {
            *seen += (seen->empty() ? "" : ", ") + std::string(1, letter) + ": ";
            *seen += readable ? "\"" + label + "\"" : std::string("no volume");
        }
        if (!readable) continue;
        if (!IsBootLabel(Clipped(label))) continue;
        return letter;
    }
    return -1;
}

// FindBootDrive, adding each removable drive it looks at to `seen`.
int32_t FindBootDriveSeeing(DriveSystem& drives, std::string* seen) {
    const int32_t letter = FindBootLetter(drives, seen);
    if (letter >= 0) FormatTargetPath(static_cast<char>(letter), FirmwareTargetPath);
    return letter;
}

}  // namespace

int32_t FindBootDrive(DriveSystem& drives) { return FindBootDriveSeeing(drives, nullptr); }

bool BootDriveHasFile(DriveSystem& drives, uint8_t bootDriveLetter, const char* name) {
    if (bootDriveLetter == kNoBootDrive || name == nullptr) return false;
    std::vector<std::string> names;
    if (!drives.rootTxtNames(static_cast<char>(bootDriveLetter), names)) return false;
    for (const std::string& found : names) {
        if (Clipped(found).find(name) != std::string_view::npos) return true;
    }
    return false;
}

BootDriveLook LookForReadyBootDrive(DriveSystem& drives) {
    BootDriveLook look;
    look.drive = FindBootDriveSeeing(drives, &look.seen);
    look.seen = (look.seen.empty() ? std::string("no removable drive") : look.seen) + "; ";
    const auto letter = static_cast<uint8_t>(look.drive);
    if (letter == kNoBootDrive) {
        look.seen += "no boot drive";
        return look;
    }
    look.ready = BootDriveHasFile(drives, letter, kReadyFile);
    look.seen += "boot drive " + std::string(1, static_cast<char>(letter)) + ":, " +
                 (look.ready ? "READY.TXT found" : "no READY.TXT");
    return look;
}

DriveReturnLook LookAtDrivesAfterCopy(DriveSystem& drives, char letter, std::optional<uint64_t> imageBytes) {
    DriveReturnLook look;
    look.driveThere = drives.rootOpens(letter);
    look.seen = std::string(1, letter) + (look.driveThere ? ": there; " : ": gone; ");
    const int32_t boot = FindBootLetter(drives, nullptr);
    if (boot < 0 || !BootDriveHasFile(drives, static_cast<uint8_t>(boot), kReadyFile)) {
        look.seen += "no boot drive ready";
        return look;
    }
    look.readyDrive = boot;
    const auto size = drives.rootFileSize(static_cast<char>(boot), kFirmwareFileName);
    look.imageThere = size && (!imageBytes || *size == *imageBytes);
    look.seen += "boot drive " + std::string(1, static_cast<char>(boot)) + ": ready, " +
                 (look.imageThere ? "the image on it"
                  : size          ? "a firmware file of " + std::to_string(*size) + " bytes on it"
                                  : "no firmware file on it");
    return look;
}

}  // namespace bootdrive
