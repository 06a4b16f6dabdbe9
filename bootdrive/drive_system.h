// What boot drive recognition asks of Windows about one drive letter.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bootdrive {

constexpr unsigned kDriveRemovable = 2;  // DRIVE_REMOVABLE

class DriveSystem {
public:
    virtual ~DriveSystem() = default;
    // GetLogicalDrives: bit 0 for A:, bit 25 for Z:. Only these letters are
    // looked at.
    virtual uint32_t logicalDrives() = 0;
    // GetDriveTypeA of "X:".
    virtual unsigned driveType(char letter) = 0;
    // GetVolumeInformationA of "X:"; false when the volume cannot be read.
    virtual bool volumeLabel(char letter, std::string& label) = 0;
    // Long names of the entries matching "X:\*.txt" in the root folder, any
    // attributes, in the order the file system returns them. False when the
    // search finds nothing or cannot start.
    virtual bool rootTxtNames(char letter, std::vector<std::string>& names) = 0;
    // GetFileAttributesA of "X:\": true while the drive's root folder can be
    // reached. A drive that went (a device that restarted) may keep its
    // letter, type and label for a while, but not its root.
    virtual bool rootOpens(char letter) = 0;
    // GetFileAttributesA of "X:\" and, when it fails, GetLastError: 0 while
    // the root can be reached. Windows says "not found" (2, 3) or "no such
    // drive" (15) of a root only when no volume is mounted at the letter; a
    // volume that is there but does not answer gives a time-out or "not
    // ready" instead.
    virtual unsigned rootError(char letter) { return rootOpens(letter) ? 0 : kErrorNotReady; }
    static constexpr unsigned kErrorNotReady = 21;  // ERROR_NOT_READY
    // GetFileAttributesExA of "X:\name": the size of a file in the root
    // folder; none when there is no such file or it cannot be reached.
    virtual std::optional<uint64_t> rootFileSize(char letter, const std::string& name) = 0;
};

// The drives of this Windows machine (bootdrive/*_win.cpp).
std::unique_ptr<DriveSystem> makeSystemDrives();

}  // namespace bootdrive
