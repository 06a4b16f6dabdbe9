// Failure paths that cross several parts of the wizard: what the user sees
// and that the upgrade still runs where it should.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/unit/app_stage_helpers.h"

namespace {

using apptest::Rig;

constexpr const char* kNotDetected = "Firmware version is not detected!";
using apptest::kNotReady;

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

        const auto opensBefore = rig.ports.opens.size();

        rig.clickYes();
        // The boot command goes to the transponder's port, once, and
        // nowhere else: COM3 beside it opens, so a write to it would show.
        EXPECT_EQ(std::vector<int>(rig.ports.opens.begin() + opensBefore, rig.ports.opens.end()), std::vector<int>{5});
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

// A USB serial driver may hang a call while its device re-enumerates. The
// wizard never waits on it without a bound: an exit ends the program a
// second later at most, and Start after "Finish!" waits 3 s for a look of
// the watch still in hand, then searches on a fresh worker. The clock is
// the test's; the hung call keeps its thread until released, or until it
// is given up where its driver lets it go.
TEST(FaultsPortHangs, NoWaitWithoutAnEnd) {
    using namespace std::chrono_literals;
    const struct {
        const char* what;
        std::function<void(Rig&)> act;  // the hang is armed on COM5 first
        std::function<void(Rig&)> check;
    } rows[] = {
        {"exit confirmed during the search",
         [](Rig& r) {
             r.ports.hangNextCall(5);
             r.desktop.whileServing = [&r] {
                 if (!r.ports.hanging() || !r.dialogs.boxes.empty()) return;
                 r.dialogs.answers = {app::kIdOk};
                 EXPECT_FALSE(r.form().FormClose());
             };
             r.clickStart();
         },
         [](Rig& r) {
             EXPECT_EQ(r.log.back(), "terminate");
             EXPECT_TRUE(r.ports.hanging()) << "the search ended while COM5 hangs";
             EXPECT_EQ(r.form().DevicePortNumber, 0);
         }},
        {"exit confirmed while the boot command hangs",
         [](Rig& r) {
             r.clickStart();
             r.ports.hangNextCall(5);
             r.desktop.whileServing = [&r] {
                 if (!r.ports.hanging() || !r.dialogs.boxes.empty()) return;
                 r.dialogs.answers = {app::kIdOk};
                 r.form().FormClose();
             };
             r.clickYes();  // returns once the call is given up
         },
         [](Rig& r) {
             ASSERT_EQ(r.dialogs.boxes.size(), 1u);
             EXPECT_NE(r.dialogs.boxes[0].flags & app::kMbDefButton2, 0u) << "Cancel is the question's default";
             EXPECT_TRUE(r.ports.hanging()) << "Yes came back while the call still hangs: it was given up";
             EXPECT_TRUE(r.ports.bootCommands().empty());
         }},
        {"exit while a look of the watch hangs",
         [](Rig& r) {
             apptest::toCompleteOverSerial(r);
             r.ports.hangNextCall(5);
             r.click("TimerVersionWatch");
             ASSERT_TRUE(apptest::waitUntil([&r] { return r.ports.hanging(); })) << "no look in hand";
             r.form().FormClose();
         },
         [](Rig& r) {
             ASSERT_EQ(r.dialogs.boxes.size(), 1u);
             EXPECT_EQ(r.dialogs.boxes[0].flags & app::kMbDefButton2, 0u) << "OK is the question's default";
         }},
        {"Start after Finish while a look of the watch hangs: the port is the wizard's own, then another program's",
         [](Rig& r) {
             apptest::toCompleteOverSerial(r);
             ASSERT_TRUE(apptest::endCopy(r));
             r.ports.hangNextCall(5);
             r.click("TimerVersionWatch");  // a look that hangs on COM5
             r.clickFinish();
             r.drives.setReady('E', false);
             r.clickStart();
             EXPECT_TRUE(r.ports.hanging());
             const int scans = r.drives.scans;
             r.ports.replies[5] = "", r.ports.release();  // the look ends with a look at the drives
             ASSERT_TRUE(apptest::waitUntil([&r, scans] { return r.drives.scans > scans; }));
             r.ports.openable[5] = false, r.clickStart();  // chart software takes COM5
         },
         [](Rig& r) {
             ASSERT_EQ(r.dialogs.boxes.size(), 2u) << "the search ran on a fresh worker, and COM5 was refused";
             EXPECT_NE(r.dialogs.boxes[0].text.find("\n\nCOM5 does not respond"), std::string::npos);
             EXPECT_EQ(r.dialogs.boxes[0].text.find(apptest::kHeldByAnother), std::string::npos);
             const std::string held = "\n\nCOM5 (USB Serial Port) is" + std::string(apptest::kHeldByAnother);
             EXPECT_NE(r.dialogs.boxes[1].text.find(held), std::string::npos) << r.dialogs.boxes[1].text;
             EXPECT_EQ(r.dialogs.boxes[1].text.find("does not respond"), std::string::npos);
         }},
        {"a probe that hangs in the search: the first box says to unplug; given up, the port is free again",
         [](Rig& r) {
             r.ports.cancellable = true;
             r.ports.hangNextCall(5);
             r.clickStart();
             ASSERT_TRUE(apptest::waitUntil([&r] { return r.ports.callsInHand() == 0; })) << "the hung open was not given up";
             r.ports.openable[5] = false, r.clickStart();  // chart software takes COM5
         },
         [](Rig& r) {
             ASSERT_EQ(r.dialogs.boxes.size(), 2u);
             EXPECT_NE(r.dialogs.boxes[0].text.find("\n\nCOM5 does not respond"), std::string::npos);
             EXPECT_EQ(r.dialogs.boxes[0].text.find(apptest::kHeldByAnother), std::string::npos);
             EXPECT_NE(r.dialogs.boxes[1].text.find("COM5 (USB Serial Port) is"), std::string::npos);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        base::TimePoint now{};
        Rig rig(Rig::Options{}, [&now](Rig& r) {
            r.ports.addPort(3, "");
            r.ports.addPort(5, apptest::versionReply("V1.0.7"));
            // Each look at the clock while the window waits moves it on.
            r.services.clock = [&now] { return now += 100ms; };
        });
        row.act(rig);
        row.check(rig);
        const auto before = std::chrono::steady_clock::now();
        rig.endProgram();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 2s) << "the window went without the hung call";
        // The hung call's thread may still use the fakes: the rig goes once
        // every call has returned.
        rig.ports.release();
        EXPECT_TRUE(apptest::waitUntil([&rig] { return rig.ports.callsInHand() == 0; }));
    }
}

}  // namespace
