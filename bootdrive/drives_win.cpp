// The drives of this Windows machine, as boot drive recognition asks for them.
#include <windows.h>

#include "base/unique_handle_win.h"
#include "bootdrive/drive_paths.h"
#include "bootdrive/drive_system.h"

namespace bootdrive {

namespace {

using win::FindHandle;  // one directory search

class SystemDrives final : public DriveSystem {
public:
    uint32_t logicalDrives() override { return GetLogicalDrives(); }
    unsigned driveType(char letter) override { return GetDriveTypeA(DriveRoot(letter).c_str()); }

    bool volumeLabel(char letter, std::string& label) override {
        char labelBuffer[kPathBufferSize] = {};
        char fileSystemBuffer[kPathBufferSize] = {};
        DWORD serialNumber = 0;
        DWORD maximumNameLength = 0;
        DWORD flags = 0;
        if (!GetVolumeInformationA(DriveRoot(letter).c_str(), labelBuffer, sizeof labelBuffer, &serialNumber,
                                   &maximumNameLength, &flags, fileSystemBuffer, sizeof fileSystemBuffer)) {
            return false;
        }
        labelBuffer[sizeof labelBuffer - 1] = '\0';
        label = labelBuffer;
        return true;
    }

    bool rootTxtNames(char letter, std::vector<std::string>& names) override {
        names.clear();
        WIN32_FIND_DATAA entry{};
        FindHandle search(FindFirstFileA(RootTxtPattern(letter).c_str(), &entry));
        if (!search.valid()) return false;
        do {
            entry.cFileName[sizeof entry.cFileName - 1] = '\0';
            names.emplace_back(entry.cFileName);
        } while (FindNextFileA(search.get(), &entry));
        return true;
    }

    bool rootOpens(char letter) override {
        return GetFileAttributesA(DriveRoot(letter).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    unsigned rootError(char letter) override {
        if (GetFileAttributesA(DriveRoot(letter).c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
        const DWORD error = GetLastError();
        return error != 0 ? error : kErrorNotReady;  // a failure without a code is no proof of anything
    }

    std::optional<uint64_t> rootFileSize(char letter, const std::string& name) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA((DriveRoot(letter) + name).c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return std::nullopt;
        return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }
};

}  // namespace

std::unique_ptr<DriveSystem> makeSystemDrives() { return std::make_unique<SystemDrives>(); }

}  // namespace bootdrive
