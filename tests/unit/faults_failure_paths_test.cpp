// Failure paths that cross several parts of the wizard: what the user sees
// and that the upgrade still runs where it should.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/app_fakes.h"

namespace {

using apptest::Rig;

constexpr const char* kNotDetected = "Firmware version is not detected!";
constexpr const char* kNotReady = "Devicie update is not ready! Please run again.";

// A catalogue that cannot give a version costs the version display only:
// no box, Start enabled, and an upgrade from a device in boot mode runs to
// its copy.
TEST(FaultsCatalogue, MissingVersionCostsOnlyTheDisplay) {
    struct Row {
        const char* name;
        const char* catalogue;  // nullptr: no catalogue file at all
        const char* version;    // both new-version labels
        const char* status;     // lblUpgradeStatus after start-up
    };
    const Row rows[] = {
        {"no catalogue file", nullptr, "", kNotDetected},
        {"no record for the image", "Image,Version\nBin\\App_K20.SBIN,2.05\n", "Unknown", kNotDetected},
        {"record with an empty version", "Bin\\App_K40.SBIN,\n", "", ""},
        {"record with the version", "Bin\\App_K40.SBIN,2.05\r\n", "2.05", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig::Options options;
        if (row.catalogue) options.catalogue = row.catalogue;
        Rig rig(options, [&](Rig& r) {
            if (!row.catalogue) std::remove((r.dir.path() + "Bin/Firmware.csv").c_str());
            r.drives.addBootDrive('E', true);
        });
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        EXPECT_TRUE(rig.get("SpeedButtonStart").enabled());
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), row.status);
        EXPECT_EQ(rig.get("LabelFrmVerNew1").caption(), row.version);

        rig.clickStart();
        ASSERT_EQ(rig.activePage(), "TabSheetFirmwareVersion");
        EXPECT_EQ(rig.get("LabelFrmVerNew3").caption(), row.version);
        rig.clickYes();
        rig.tick(2);
        EXPECT_EQ(app::Upgrade.CopyInProgress, 1) << "the copy starts all the same";
        ASSERT_TRUE(rig.copier.waitForCopies(1, std::chrono::seconds(5)));
        EXPECT_EQ(rig.copier.copies().back().from, std::string(bootdrive::FirmwareImagePath));
    }
}

// The device answered at Start but its port cannot be opened at Yes (it was
// unplugged, or another program took it): no boot command goes out, to it or
// to the silent port beside it, and no box comes at once; the wait for the
// boot drive runs out as usual.
TEST(FaultsBootCommand, PortThatCannotBeOpenedEndsInTheNotReadyBox) {
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "taken by another program" : "unplugged");
        Rig rig(Rig::Options{}, [](Rig& r) {
            r.ports.addPort(3, "");
            r.ports.addPort(5, apptest::versionReply("V1.0.7"));
        });
        rig.clickStart();
        ASSERT_EQ(rig.activePage(), "TabSheetFirmwareVersion");
        if (held) rig.ports.openable[5] = false;
        else rig.ports.openable.erase(5);
        const auto exchangesBefore = rig.ports.exchanges.size();

        rig.clickYes();
        EXPECT_EQ(rig.ports.exchanges.size(), exchangesBefore) << "no port was written to";
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        EXPECT_EQ(rig.activePage(), "TabSheetFirmwareUpgrade");

        rig.tick(10);
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        rig.tick();
        ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
        EXPECT_EQ(rig.dialogs.boxes[0].text, kNotReady);
        EXPECT_EQ(rig.dialogs.boxes[0].caption, "Error");
        EXPECT_EQ(rig.activePage(), "TabSheetStart");
        EXPECT_EQ(app::Upgrade.CopyInProgress, 0);
        EXPECT_TRUE(rig.copier.copies().empty()) << "nothing was copied";
    }
}

}  // namespace
