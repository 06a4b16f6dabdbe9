// The upgrade stage machine: every row of its transition table, driven
// through the real detection, boot drive recognition and copy worker on
// faked Windows seams.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/unit/app_stage_helpers.h"

namespace {

using namespace apptest;
using namespace std::chrono_literals;

struct Expect {
    int stage;
    const char* page;
    int waiting;  // WaitingForBootDrive
    int copying;  // CopyInProgress
    bool blinkTimer, controlTimer, finish;
    std::vector<std::string> boxes;
    const char* status;   // lblUpgradeStatus
    const char* percent;  // LabelProgressPersent
};

struct TransitionRow {
    const char* name;
    std::function<void(Rig&)> device;
    std::function<void(Rig&)> from;  // reach the state
    std::function<void(Rig&)> event;
    Expect expect;
    std::function<void(Rig&)> alsoCheck;
};

std::vector<TransitionRow> transitionRows() {
    return {
        {"start_finds_device_in_boot_mode", bootModeDevice, [](Rig&) {}, toVersion,
         {1, kVersionPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), "VUR-IrodEdez");
             EXPECT_EQ(r.get("LabelFrmVerOriginal3").caption(), "VUR-IrodEdez");
             EXPECT_EQ(r.get("LabelFrmVerNew1").caption(), "2.05");
             EXPECT_EQ(r.get("LabelFrmVerNew3").caption(), "2.05");
             EXPECT_EQ(r.form().DeviceIdentified, 1);
             EXPECT_EQ(r.form().BootDriveLetter, 'E');
             EXPECT_EQ(app::Upgrade.BootCommandPending, 0);
             EXPECT_EQ(r.ports.calls, 0);
         }},
        {"start_finds_device_on_serial_port", serialDevice, [](Rig&) {}, toVersion,
         {1, kVersionPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), kDeviceVersion);
             EXPECT_EQ(r.get("LabelFrmVerOriginal3").caption(), kDeviceVersion);
             EXPECT_EQ(r.form().DeviceIdentified, 1);
             EXPECT_EQ(r.form().DevicePortNumber, 5);
             EXPECT_EQ(app::Upgrade.BootCommandPending, 1);
             EXPECT_TRUE(r.ports.bootCommands().empty());
         }},
        {"start_pressed_again_during_the_scan",
         [](Rig& r) {
             r.ports.addPort(3, "");
             serialDevice(r);
             // A message sent to the window during the scan opens a nested
             // loop that dispatches a queued Start.
             r.desktop.whileServing = [&r, pressed = false]() mutable {
                 if (pressed) return;
                 pressed = true;
                 r.clickStart();
             };
         },
         [](Rig&) {}, toVersion, {1, kVersionPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) {
             // One scan: each port probed and asked once.
             EXPECT_EQ(r.ports.opens.size(), 4u);
             EXPECT_EQ(r.ports.exchanges.size(), 2u);
             EXPECT_EQ(r.form().DevicePortNumber, 5);
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), kDeviceVersion);
         }},
        {"exit_confirmed_during_the_scan",
         [](Rig& r) {
             r.ports.addPort(3, "");
             serialDevice(r);
             // The close box while the list of ports is read.
             r.desktop.whileServing = [&r, asked = false]() mutable {
                 if (asked) return;
                 asked = true;
                 r.dialogs.answers = {app::kIdOk};
                 EXPECT_FALSE(r.form().FormClose()) << "the window stays until the search has ended";
             };
         },
         [](Rig&) {}, toVersion, {0, kStartPage, 0, 0, false, false, false, {"Are you sure to exit?"}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.dialogs.boxes[0].flags, 0x31u);
             EXPECT_TRUE(r.ports.opens.empty()) << "no port is probed or asked after OK";
             EXPECT_EQ(r.log.back(), "terminate");
         }},
        {"start_finds_no_port", noDevice, [](Rig&) {}, toVersion,
         {0, kStartPage, 0, 0, false, false, false, {std::string(kNoDevice) + kNoComPort}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.dialogs.boxes[0].caption, "Error");
             EXPECT_EQ(r.dialogs.boxes[0].flags, 0x10u);
             EXPECT_EQ(r.get("ProgressBar2").position(), 0);
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), "");
             EXPECT_TRUE(r.get("SpeedButtonStart").enabled());
         }},
        {"start_finds_ports_but_silent", [](Rig& r) { r.ports.addPort(3, ""); }, [](Rig&) {}, toVersion,
         {0, kStartPage, 0, 0, false, false, false, {kNoDevice}, "", "0%"}, nullptr},
        {"start_finds_only_busy_ports",
         [](Rig& r) {
             for (int port : {9, 4, 3}) r.ports.addPort(port, "");
             r.ports.openable[4] = r.ports.openable[9] = false;
         },
         [](Rig&) {}, toVersion,
         {0, kStartPage, 0, 0, false, false, false,
          {std::string(kNoDevice) + "\n\nCOM4 (USB Serial Port) and COM9 (USB Serial Port) are" + kHeldByAnother},
          "", "0%"},
         nullptr},
        {"start_finds_a_busy_port_and_the_transponder",
         [](Rig& r) {
             r.ports.addPort(4, "");
             r.ports.openable[4] = false;
             serialDevice(r);
         },
         [](Rig&) {}, toVersion, {1, kVersionPage, 0, 0, false, false, false, {}, "", "0%"}, nullptr},
        {"version_no", serialDevice, toVersion, [](Rig& r) { r.clickNo(); },
         {0, kStartPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), "");
             EXPECT_EQ(r.get("LabelFrmVerOriginal3").caption(), "");
             EXPECT_EQ(r.get("LabelFrmVerNew1").caption(), "2.05");
             EXPECT_EQ(r.get("LabelFrmVerNew3").caption(), "2.05");
             EXPECT_EQ(r.form().DeviceIdentified, 0);
             EXPECT_EQ(r.form().DevicePortNumber, 0);
             EXPECT_EQ(r.form().BootDriveLetter, 255);
         }},
        {"version_yes_identified", serialDevice, toVersion, [](Rig& r) { r.clickYes(); },
         {2, kUpgradePage, 1, 0, true, true, false, {}, "Upgrading ...", "0%"},
         [](Rig& r) {
             const auto sent = r.ports.bootCommands();
             ASSERT_EQ(sent.size(), 1u);
             EXPECT_EQ(sent[0].port, 5);
             EXPECT_EQ(sent[0].out, std::string(kBootCommand));
             EXPECT_EQ(sent[0].out.size(), 22u);
             EXPECT_EQ(sent[0].readMax, 0u);
             EXPECT_EQ(sent[0].timeouts.readInterval, serial::kBootTimeouts.readInterval);
             EXPECT_EQ(app::Upgrade.BootCommandPending, 0);
         }},
        {"version_yes_unidentified", serialDevice,
         [](Rig& r) {
             toVersion(r);
             r.form().DeviceIdentified = 0;
         },
         [](Rig& r) { r.clickYes(); },
         {0, kStartPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) { EXPECT_TRUE(r.ports.bootCommands().empty()); }},
        {"waiting_odd_tick_does_not_look", serialDevice, toWaiting, [](Rig& r) { r.tick(); },
         {2, kUpgradePage, 1, 0, true, true, false, {}, "Upgrading ...", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.drives.scans, 0);
             EXPECT_EQ(app::Upgrade.BootDriveWaitTicks, 1);
         }},
        {"waiting_even_tick_without_drive", serialDevice,
         [](Rig& r) {
             toWaiting(r);
             r.tick();
         },
         [](Rig& r) { r.tick(); }, {2, kUpgradePage, 1, 0, true, true, false, {}, "Upgrading ...", "0%"},
         [](Rig& r) { EXPECT_EQ(r.drives.scans, 1); }},
        {"waiting_even_tick_finds_drive", serialDevice,
         [](Rig& r) {
             toWaiting(r);
             r.tick();
             r.drives.addBootDrive('G', true);
             setProgress(55);  // a waiting tick resets the shared value
         },
         [](Rig& r) { r.tick(); }, {2, kUpgradePage, 0, 1, true, true, false, {}, "Upgrading ...", "0%"},
         [](Rig& r) {
             EXPECT_STREQ(bootdrive::FirmwareTargetPath, "G:\\AIS_Firmware.S19");
             EXPECT_EQ(bootdrive::CopyProgressPercent.load(), 0);
             EXPECT_EQ(app::Upgrade.BootDriveWaitTicks, 0);
             // The first watch step ran in the same tick.
             EXPECT_EQ(app::Upgrade.StallTicks, 1u);
             ASSERT_TRUE(r.copier.waitForCopies(1, 5s));
             const auto copies = r.copier.copies();
             EXPECT_EQ(copies[0].from, std::string(bootdrive::FirmwareImagePath));
             EXPECT_EQ(copies[0].to, "G:\\AIS_Firmware.S19");
         }},
        {"waiting_gives_up_at_tick_11", serialDevice,
         [](Rig& r) {
             toWaiting(r);
             r.tick(10);
         },
         [](Rig& r) { r.tick(); }, {0, kStartPage, 0, 0, false, true, false, {kNotReady}, "", "0%"},
         [](Rig& r) {
             // The box comes up over the upgrade page; the reset follows it.
             EXPECT_EQ(r.dialogs.boxes[0].activePage, kUpgradePage);
             EXPECT_EQ(r.dialogs.boxes[0].caption, "Error");
             EXPECT_EQ(r.dialogs.boxes[0].flags, 0x10u);
             EXPECT_EQ(app::Upgrade.BootDriveWaitTicks, 0);
         }},
        {"copying_below_100", bootModeDevice, toCopying,
         [](Rig& r) {
             setProgress(42);
             r.tick();
         },
         {2, kUpgradePage, 0, 1, true, true, false, {}, "Upgrading ...", "42%"},
         [](Rig& r) { EXPECT_EQ(r.get("ProgressBar2").position(), 42); }},
        {"copying_reaches_100", bootModeDevice, toCopying,
         [](Rig& r) {
             setProgress(100);
             r.tick();
         },
         {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage1").caption(), "");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").caption(), "Please reboot your device.");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").font().colour, ui::kColourWindowText);
         }},
        {"copying_stalls", bootModeDevice,
         [](Rig& r) {
             toCopying(r);
             setProgress(37);
             r.tick();
             r.tick(30);
         },
         [](Rig& r) { r.tick(); }, {0, kStartPage, 0, 0, false, false, false, {kStalled}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.dialogs.boxes[0].activePage, kStartPage);
             EXPECT_EQ(r.dialogs.boxes[0].stage, 0);
             EXPECT_EQ(bootdrive::CopyProgressPercent.load(), 0);
             EXPECT_EQ(app::Upgrade.StallTicks, 0u);
             // Asked to stop: it ends at its next progress report.
             ASSERT_TRUE(copyEnded(r));
             EXPECT_EQ(r.form().CopyWorker->lastCopy()->result.error, 1235u);
         }},
        {"copy_refused_while_a_stalled_one_has_not_ended",
         [](Rig& r) {
             bootModeDevice(r);
             r.copier.ignoreStop = true;
         },
         [](Rig& r) {
             toCopying(r);
             r.tick(31);
         },
         toCopying,
         {0, kStartPage, 0, 0, false, false, false,
          {std::string(kStalled) + "\n\nAn earlier copy onto E: has not ended yet."}, "", "0%"},
         [](Rig& r) {
             ASSERT_TRUE(r.copier.waitForCopies(1, 5s));
             EXPECT_EQ(r.copier.copies().size(), 1u);
             EXPECT_FALSE(r.form().CopyWorker->lastCopy()) << "the earlier copy still runs";
         }},
        {"copying_session_ends", bootModeDevice, toCopying, [](Rig& r) { r.desktop.events->sessionEnds(); },
         {2, kUpgradePage, 0, 1, true, true, false, {}, "Upgrading ...", "0%"},
         [](Rig& r) {
             // The cut file goes before Windows ends the process.
             ASSERT_TRUE(r.form().CopyWorker->lastCopy());
             EXPECT_EQ(r.form().CopyWorker->lastCopy()->result.error, 1235u);
         }},
        {"copying_fails_at_once", bootModeDevice,
         [](Rig& r) {
             toCopying(r);
             ASSERT_TRUE(endCopy(r, 112));  // before a tick saw it move
         },
         [](Rig& r) { r.tick(); },
         {0, kStartPage, 0, 0, false, false, false, {std::string(kStalled) + kDiskFullOnE}, "", "0%"},
         [](Rig& r) { EXPECT_EQ(r.dialogs.boxes[0].activePage, kStartPage); }},
        {"copying_fails_at_40", bootModeDevice,
         [](Rig& r) {
             toCopying(r);
             setProgress(40);
             r.tick();
             ASSERT_TRUE(endCopy(r, 112));
         },
         [](Rig& r) { r.tick(); },
         {0, kStartPage, 0, 0, false, false, false, {std::string(kStalled) + kDiskFullOnE}, "", "0%"}, nullptr},
        {"copying_fails_without_words_for_it", bootModeDevice,
         [](Rig& r) { toCopying(r); r.copier.withoutWords = true; ASSERT_TRUE(endCopy(r, 1117)); },
         [](Rig& r) { r.tick(); },
         {0, kStartPage, 0, 0, false, false, false, {std::string(kStalled) + kNoWordsOnE}, "", "0%"}, nullptr},
        {"copying_fails_with_a_wrong_size", bootModeDevice,
         [](Rig& r) { toCopying(r); r.copier.fault = "3 bytes."; ASSERT_TRUE(endCopy(r, bootdrive::kErrorWrongSize)); },
         [](Rig& r) { r.tick(); },
         {0, kStartPage, 0, 0, false, false, false, {std::string(kStalled) + kOnE + "3 bytes."}, "", "0%"}, nullptr},
        {"copying_fails_with_plain_words", bootModeDevice,
         [](Rig& r) { toCopying(r); r.copier.fault = "Lost."; ASSERT_TRUE(endCopy(r, 433)); }, [](Rig& r) { r.tick(); },
         {0, kStartPage, 0, 0, false, false, false, {std::string(kStalled) + kDiskFullOnE + " Lost."}, "", "0%"}, {}},
        {"copying_settles_two_minutes_without_a_stall_then_completes", bootModeDevice,
         [](Rig& r) { toCopying(r); bootdrive::MarkCopySettling(); r.tick(120); ASSERT_TRUE(endCopy(r)); },
         [](Rig& r) { r.tick(); }, {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"}, nullptr},
        {"copying_settles_past_two_minutes", bootModeDevice,
         [](Rig& r) { toCopying(r); bootdrive::MarkCopySettling(); r.tick(120); },
         [](Rig& r) { r.tick(); }, {0, kStartPage, 0, 0, false, false, false, {kStalled}, "", "0%"}, nullptr},
        // The last byte seen, the close lingers: no stall, the seconds told;
        // Exit asks as ever, and Cancel lets the copy settle on.
        {"copying_settles_from_the_last_byte_past_31_ticks", bootModeDevice,
         [](Rig& r) { toCopying(r); setProgress(99); r.tick(); bootdrive::MarkCopySettling(); },
         [](Rig& r) { r.tick(40); r.dialogs.answers = {app::kIdCancel}; EXPECT_FALSE(r.form().FormClose()); r.tick(); },
         {2, kUpgradePage, 0, 1, true, true, false, {"Are you sure to exit?"},
          "The transponder is storing the firmware: 41 s", "99%"},
         nullptr},
        {"copying_of_a_3_MB_image_settles_150_s_then_completes", bigImageBootModeDevice,
         [](Rig& r) { toCopying(r); bootdrive::MarkCopySettling(); r.tick(150); ASSERT_TRUE(endCopy(r)); },
         [](Rig& r) { r.tick(); }, {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"}, nullptr},
        {"copying_of_a_3_MB_image_settles_past_its_bound", bigImageBootModeDevice,
         [](Rig& r) { toCopying(r); bootdrive::MarkCopySettling(); r.tick(828); },
         [](Rig& r) { r.tick(); }, {0, kStartPage, 0, 0, false, false, false, {kStalled}, "", "0%"}, nullptr},

        {"complete_finish", bootModeDevice, toComplete, [](Rig& r) { r.clickFinish(); },
         {0, kStartPage, 0, 0, false, false, false, {}, "", "0%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").caption(), "");
             EXPECT_EQ(r.get("LabelFrmVerOriginal1").caption(), "");
             EXPECT_FALSE(r.get("TimerVersionWatch").enabled()) << "leaving the page ends the watch";
         }},
        // Back from its restart, the transponder says what it runs.
        {"complete_device_returns_with_the_new_version", serialDevice, toCompleteOverSerial,
         [](Rig& r) {
             EXPECT_TRUE(r.get("TimerVersionWatch").enabled());
             r.ports.replies[5] = versionReply("02.5");
             ASSERT_TRUE(watchUntil(r, [&r] { return !r.get("StaticTextFrmUpgMessage2").caption().empty() &&
                                                     r.get("StaticTextFrmUpgMessage2").caption()[0] == 'N'; }));
         },
         {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").caption(), "Now running version 02.5.");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").font().colour, ui::kGreen);
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage1").caption(), "");
             EXPECT_FALSE(r.get("TimerVersionWatch").enabled());
             EXPECT_EQ(r.ports.exchanges.back().port, 5);
         }},
        {"complete_device_returns_with_its_old_version", serialDevice, toCompleteOverSerial,
         [](Rig& r) {
             ASSERT_TRUE(watchUntil(r, [&r] { return !r.get("StaticTextFrmUpgMessage1").caption().empty(); }));
         },
         {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage1").caption(), "Still version V1.0.7!");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage1").font().colour, ui::kRed);
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").caption(), "Please run the upgrade again.");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").font().colour, ui::kColourWindowText);
         }},
        {"complete_boot_mode_device_returns_on_an_announced_port",
         [](Rig& r) {
             bootModeDevice(r);
             r.ports.addPort(3, "");
             r.ports.addPort(7, versionReply("3.1"));
         },
         toComplete,
         [](Rig& r) {
             // No port is known: nothing is asked until Windows announces one.
             for (int i = 0; i < 5; ++i) r.click("TimerVersionWatch");
             EXPECT_EQ(r.ports.calls, 0);
             r.desktop.events->portArrived(7);
             ASSERT_TRUE(watchUntil(r, [&r] { return r.get("StaticTextFrmUpgMessage2").caption() != "Please reboot your device."; }));
         },
         {2, kUpgradePage, 0, 0, false, false, true, {}, "Finish!", "100%"},
         [](Rig& r) {
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").caption(), "Now running version 3.1.");
             EXPECT_EQ(r.get("StaticTextFrmUpgMessage2").font().colour, ui::kColourWindowText);
             ASSERT_EQ(r.ports.exchanges.size(), 1u) << "COM3 was not announced";
             EXPECT_EQ(r.ports.exchanges[0].port, 7);
         }},
    };
}

TEST(AppStageMachine, TransitionTable) {
    for (const auto& row : transitionRows()) {
        SCOPED_TRACE(row.name);
        Rig rig(Rig::Options{}, row.device);
        row.from(rig);
        rig.dialogs.boxes.clear();
        rig.drives.scans = 0;  // count the event's own scans
        row.event(rig);

        const Expect& e = row.expect;
        EXPECT_EQ(rig.form().UpgradeStage, e.stage);
        EXPECT_EQ(rig.activePage(), e.page);
        EXPECT_EQ(app::Upgrade.WaitingForBootDrive, e.waiting);
        EXPECT_EQ(app::Upgrade.CopyInProgress, e.copying);
        EXPECT_EQ(rig.get("TimerBlinkingText").enabled(), e.blinkTimer);
        EXPECT_EQ(rig.get("TimerCopyFileProgressCTL").enabled(), e.controlTimer);
        EXPECT_EQ(rig.get("SpeedButtonFrmUpgFinish").enabled(), e.finish);
        EXPECT_EQ(boxTexts(rig), e.boxes);
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), e.status);
        EXPECT_EQ(rig.get("LabelProgressPersent").caption(), e.percent);
        // From Yes until the attempt ends, Windows may neither end the
        // session nor show AutoPlay, nor the PC sleep.
        const bool underWay = e.waiting || e.copying;
        EXPECT_EQ(rig.desktop.held, underWay);
        EXPECT_EQ(rig.desktop.awake, rig.get("TimerVersionWatch").enabled()) << "awake while the watch runs";
        ASSERT_NE(rig.desktop.events, nullptr);
        EXPECT_EQ(rig.desktop.events->sessionMayEnd(), !underWay);
        EXPECT_EQ(rig.desktop.events->cancelAutoPlay(), underWay);
        // The row's own checks read the boxes it expects.
        if (boxTexts(rig) != e.boxes) continue;
        if (row.alsoCheck) row.alsoCheck(rig);
    }
}

}  // namespace
