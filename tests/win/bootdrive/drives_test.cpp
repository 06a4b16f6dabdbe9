// Boot drive recognition against drives mapped in the Wine prefix.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "bootdrive/Copyfilethread.h"
#include "bootdrive/boot_drive.h"
#include "tests/win/bootdrive/wine_drives.h"

namespace {

using namespace bootdrive_wine;

std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

TEST(BootDriveOnWine, DrivesAreMappedAsPrepared) {
    auto drives = bootdrive::makeSystemDrives();
    EXPECT_NE(drives->driveType(kFixedLabelled), bootdrive::kDriveRemovable);
    EXPECT_EQ(drives->driveType(kLowerCaseLabel), bootdrive::kDriveRemovable);
    EXPECT_EQ(drives->driveType(kBootDrive), bootdrive::kDriveRemovable);
    std::string label;
    ASSERT_TRUE(drives->volumeLabel(kFixedLabelled, label));
    EXPECT_EQ(label, "VAZ UD40");
    ASSERT_TRUE(drives->volumeLabel(kBootDrive, label));
    EXPECT_EQ(label, "BOOT RUZ I ZA 1");
}

TEST(BootDriveOnWine, TakesTheFirstRemovableDriveWithABootLabel) {
    auto drives = bootdrive::makeSystemDrives();
    bootdrive::FirmwareTargetPath[0] = '\0';
    EXPECT_EQ(bootdrive::FindBootDrive(*drives), kBootDrive);
    EXPECT_STREQ(bootdrive::FirmwareTargetPath, "F:\\AIS_Firmware.S19");
}

// A drive whose folder went keeps its letter, type and label under Wine,
// as it may for a while on Windows: only its root tells that it went.
TEST(BootDriveOnWine, VanishedDriveHasNoStatusFile) {
    auto drives = bootdrive::makeSystemDrives();
    EXPECT_FALSE(bootdrive::BootDriveHasFile(*drives, kGoneDrive, bootdrive::kReadyFile));
    EXPECT_FALSE(drives->rootOpens(kGoneDrive));
    EXPECT_TRUE(drives->rootOpens(kBootDrive));
}

struct RootCase {
    const char* what;
    std::function<void(const std::string& root)> arrange;
    bool found;
};

void Touch(const std::string& path) { ASSERT_TRUE(WriteWholeFile(path, "ready\r\n")) << path; }

const RootCase kRootCases[] = {
    {"empty root", [](const std::string&) {}, false},
    {"plain READY.TXT", [](const std::string& r) { Touch(r + "READY.TXT"); }, true},
    {"lower case only", [](const std::string& r) { Touch(r + "ready.txt"); }, false},
    {"NOTREADY.TXT counts", [](const std::string& r) { Touch(r + "NOTREADY.TXT"); }, true},
    {"other status files only",
     [](const std::string& r) {
         Touch(r + "BUSY.TXT");
         Touch(r + "README.DOC");
     },
     false},
    {"only in a subfolder",
     [](const std::string& r) {
         ASSERT_TRUE(CreateDirectoryA((r + "SUB").c_str(), nullptr));
         Touch(r + "SUB\\READY.TXT");
     },
     false},
    {"hidden READY.TXT",
     [](const std::string& r) {
         Touch(r + "READY.TXT");
         ASSERT_TRUE(SetFileAttributesA((r + "READY.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN));
     },
     true},
    {"folder named READY.TXT",
     [](const std::string& r) { ASSERT_TRUE(CreateDirectoryA((r + "READY.TXT").c_str(), nullptr)); }, true},
    {"among other text files",
     [](const std::string& r) {
         Touch(r + "A.TXT");
         Touch(r + "READY.TXT");
         Touch(r + "Z.TXT");
     },
     true},
};

class StatusFileOnWine : public testing::TestWithParam<RootCase> {
protected:
    void TearDown() override { ClearRoot(); }
    static void ClearRoot() {
        for (const char* name : {"READY.TXT", "ready.txt", "NOTREADY.TXT", "BUSY.TXT", "README.DOC", "SUB",
                                 "A.TXT", "Z.TXT"}) {
            RemoveTree(Root(kBootDrive) + name);
        }
    }
};

TEST_P(StatusFileOnWine, SearchesTheRootCaseSensitively) {
    const RootCase& c = GetParam();
    ClearRoot();
    c.arrange(Root(kBootDrive));
    auto drives = bootdrive::makeSystemDrives();
    EXPECT_EQ(bootdrive::BootDriveHasFile(*drives, kBootDrive, bootdrive::kReadyFile), c.found) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusFileOnWine, testing::ValuesIn(kRootCases));

}  // namespace
