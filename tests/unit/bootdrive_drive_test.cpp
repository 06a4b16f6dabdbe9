// Choosing the boot drive from the drives' facts, and the status file test.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/boot_drive.h"
#include "bootdrive/drive_paths.h"
#include "bootdrive/volume_gone.h"

namespace {

constexpr unsigned kFixed = 3;
constexpr unsigned kNoRootDir = 1;

struct FakeDrive {
    unsigned type = bootdrive::kDriveRemovable;
    bool readable = true;
    std::string label;
    std::vector<std::string> rootNames;
    bool listed = true;  // GetLogicalDrives has its bit
    unsigned rootError = 0;  // GetFileAttributesA of its root fails with this
};

class FakeDrives final : public bootdrive::DriveSystem {
public:
    std::map<char, FakeDrive> drives;
    std::vector<char> searched;
    std::string unlistedAsked;  // letters asked about that Windows does not list
    int calls = 0;

    uint32_t logicalDrives() override {
        ++calls;
        uint32_t bits = 0;
        for (const auto& [letter, drive] : drives)
            if (drive.listed) bits |= 1u << (letter - 'A');
        return bits;
    }
    unsigned driveType(char letter) override {
        ++calls;
        auto listed = drives.find(letter);
        if (listed == drives.end() || !listed->second.listed) unlistedAsked += letter;
        auto it = drives.find(letter);
        return it == drives.end() ? kNoRootDir : it->second.type;
    }
    bool volumeLabel(char letter, std::string& label) override {
        ++calls;
        auto it = drives.find(letter);
        if (it == drives.end() || !it->second.readable) return false;
        label = it->second.label;
        return true;
    }
    bool rootTxtNames(char letter, std::vector<std::string>& names) override {
        ++calls;
        searched.push_back(letter);
        auto it = drives.find(letter);
        if (it == drives.end() || it->second.rootNames.empty()) return false;
        names = it->second.rootNames;
        return true;
    }
    bool rootOpens(char letter) override { return drives.count(letter) != 0; }
    unsigned rootError(char letter) override {
        auto it = drives.find(letter);
        return it == drives.end() ? 3 : it->second.rootError;
    }
    std::optional<uint64_t> rootFileSize(char, const std::string&) override { return std::nullopt; }
};

constexpr const char* kOldTarget = "Q:\\AIS_Firmware.S19";

struct ChoiceCase {
    const char* what;
    std::map<char, FakeDrive> drives;
    int32_t expected;
    const char* expectedTarget;
};

// Test names show what each case is about.
void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.what; }

FakeDrive Removable(const std::string& label) { return FakeDrive{bootdrive::kDriveRemovable, true, label, {}}; }

std::vector<ChoiceCase> ChoiceCases() {
    FakeDrive fixedLabelled = Removable("VAZ UD40");
    fixedLabelled.type = kFixed;
    FakeDrive unreadable = Removable("VAZ UD40");
    unreadable.readable = false;
    FakeDrive unlisted = Removable("VAZ UD40");
    unlisted.listed = false;
    return {
        {"two labelled drives: the lower letter", {{'G', Removable("VAZ UD40")}, {'E', Removable("VAZ UD40")}},
         'E', "E:\\AIS_Firmware.S19"},
        {"letter order, not label order", {{'H', Removable("VAZ UD40")}, {'F', Removable("RUZ I ZA")}},
         'F', "F:\\AIS_Firmware.S19"},
        {"fixed disk ignored", {{'C', fixedLabelled}}, -1, kOldTarget},
        {"fixed disk skipped, later removable taken", {{'C', fixedLabelled}, {'K', Removable("RUZ I ZA")}},
         'K', "K:\\AIS_Firmware.S19"},
        {"label in lower case ignored", {{'E', Removable("vaz ud40")}}, -1, kOldTarget},
        {"label with more characters taken", {{'E', Removable("xVAZ UD40 BOOT")}}, 'E', "E:\\AIS_Firmware.S19"},
        {"unrelated label ignored", {{'E', Removable("VAZ UD4")}, {'F', Removable("USB STICK")}}, -1,
         kOldTarget},
        {"unreadable volume skipped", {{'D', unreadable}, {'Z', Removable("RUZ I ZA")}}, 'Z',
         "Z:\\AIS_Firmware.S19"},
        {"no drives at all", {}, -1, kOldTarget},
        {"a letter Windows does not list is never asked", {{'D', unlisted}, {'F', Removable("RUZ I ZA")}}, 'F',
         "F:\\AIS_Firmware.S19"},
        {"first letter A", {{'A', Removable("VAZ UD40")}}, 'A', "A:\\AIS_Firmware.S19"},
        {"label beyond 255 characters not seen", {{'E', Removable(std::string(250, 'x') + "VAZ UD40")}}, -1,
         kOldTarget},
        {"label ending at character 255 seen", {{'E', Removable(std::string(247, 'x') + "VAZ UD40")}}, 'E',
         "E:\\AIS_Firmware.S19"},
    };
}

class BootDriveChoice : public testing::TestWithParam<ChoiceCase> {};

TEST_P(BootDriveChoice, TakesTheLowestQualifyingLetter) {
    const ChoiceCase& c = GetParam();
    FakeDrives fake;
    fake.drives = c.drives;
    std::strcpy(bootdrive::FirmwareTargetPath, kOldTarget);

    EXPECT_EQ(bootdrive::FindBootDrive(fake), c.expected) << c.what;
    EXPECT_STREQ(bootdrive::FirmwareTargetPath, c.expectedTarget) << c.what;
    EXPECT_TRUE(fake.searched.empty()) << "the scan never lists files";
    EXPECT_EQ(fake.unlistedAsked, "") << "an empty card reader may raise a box: " << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, BootDriveChoice, testing::ValuesIn(ChoiceCases()));

struct StatusCase {
    const char* what;
    std::vector<std::string> rootNames;
    bool expected;
};

// Test names show what each case is about.
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.what; }

std::vector<StatusCase> StatusCases() {
    return {
        {"plain READY.TXT", {"README.TXT", "READY.TXT"}, true},
        {"lower case only", {"ready.txt"}, false},
        {"further characters before the name", {"NOTREADY.TXT"}, true},
        {"other status files only", {"BUSY.TXT", "ERROR.TXT"}, false},
        {"nothing matches the pattern", {}, false},
        {"name within the first 255 characters", {std::string(246, 'a') + "READY.TXT" + "zzzz"}, true},
        {"name cut by the 255-character buffer", {std::string(247, 'a') + "READY.TXT"}, false},
    };
}

class StatusFile : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusFile, FoundByCaseSensitiveSubstringInTheRoot) {
    const StatusCase& c = GetParam();
    FakeDrives fake;
    FakeDrive drive = Removable("VAZ UD40");
    drive.rootNames = c.rootNames;
    fake.drives['E'] = drive;

    EXPECT_EQ(bootdrive::BootDriveHasFile(fake, 'E', bootdrive::kReadyFile), c.expected) << c.what;
    EXPECT_EQ(fake.searched, std::vector<char>{'E'}) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusFile, testing::ValuesIn(StatusCases()));

TEST(StatusFileWithoutBootDrive, TouchesNoDrive) {
    FakeDrives fake;
    FakeDrive drive = Removable("VAZ UD40");
    drive.rootNames = {"READY.TXT"};
    fake.drives[static_cast<char>(bootdrive::kNoBootDrive)] = drive;

    EXPECT_FALSE(bootdrive::BootDriveHasFile(fake, bootdrive::kNoBootDrive, bootdrive::kReadyFile));
    EXPECT_EQ(fake.calls, 0);
}

// A drive has gone once its volume has: its letter unlisted, its root no
// longer a drive, or its removal announced during the copy (also when it
// is back). A drive still listed as removable has not, whatever fails to
// open on it.
TEST(VolumeGone, OnlyTheVolumeGoingCounts) {
    const struct {
        FakeDrive drive;
        uint32_t announced;  // after the copy forgot E:'s removal
        const char* how;     // null: still there
    } rows[] = {{{}, 0, nullptr},
                {{}, 1u << 5, nullptr},
                {{bootdrive::kDriveRemovable, true, "", {}, false}, 0, "its letter went"},
                {{kNoRootDir, true, "", {}}, 0, "its root is no longer a drive"},
                {{0, true, "", {}}, 0, "its root is no longer a drive"},
                // Listed still, its root not found (2, 3, 15), or not answering.
                {{bootdrive::kDriveRemovable, true, "", {}, true, 3}, 0, "its root is no longer found"},
                {{bootdrive::kDriveRemovable, true, "", {}, true, 15}, 0, "its root is no longer found"},
                {{bootdrive::kDriveRemovable, true, "", {}, true, 121}, 0, nullptr},
                {{bootdrive::kDriveRemovable, true, "", {}, true, 21}, 0, nullptr},
                {{}, 1u << 4, "Windows announced its removal"}};
    for (const auto& row : rows) {
        FakeDrives fake;
        fake.drives['E'] = row.drive;
        bootdrive::NoteVolumesRemoved(1u << 4);
        bootdrive::ForgetVolumeRemoval('E');
        bootdrive::NoteVolumesRemoved(row.announced);
        EXPECT_STREQ(bootdrive::VolumeGone(fake, 'E'), row.how) << row.announced << " " << row.drive.type;
        bootdrive::VolumesAnnouncedGone.store(0);
    }
}

// What the Windows side searches and writes for a letter.
TEST(DrivePaths, RootSearchPatternAndTargetPath) {
    EXPECT_EQ(bootdrive::RootTxtPattern('E'), "E:\\*.txt");
    char target[bootdrive::kPathBufferSize];
    bootdrive::FormatTargetPath('Z', target);
    EXPECT_STREQ(target, "Z:\\AIS_Firmware.S19");
}

TEST(DrivePaths, CopyPathCutsAtTheBufferAndTerminates) {
    struct Case {
        std::string from;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {"C:\\Bin\\App_K40.SBIN", "C:\\Bin\\App_K40.SBIN"},
        {std::string(255, 'p'), std::string(255, 'p')},
        {std::string(400, 'p'), std::string(255, 'p')},
        // UTF-8 paths are cut before a character that would not fit whole.
        {std::string(252, 'p') + "\xE5\x8D\x87", std::string(252, 'p') + "\xE5\x8D\x87"},
        {std::string(253, 'p') + "\xE5\x8D\x87", std::string(253, 'p')},
        {std::string(254, 'p') + "\xD0\x96q", std::string(254, 'p')},
        {std::string(252, 'p') + "\xF0\x9F\x9A\xA2", std::string(252, 'p')},
    };
    for (const Case& c : cases) {
        char out[bootdrive::kPathBufferSize + 8];
        std::memset(out, '#', sizeof out);
        bootdrive::CopyPath(*reinterpret_cast<char(*)[bootdrive::kPathBufferSize]>(out), c.from.c_str());
        EXPECT_EQ(std::string(out), c.expected);
        EXPECT_EQ(out[bootdrive::kPathBufferSize], '#') << "written past the buffer";
    }
}

}  // namespace
