// Start-up of the main window (version gate, indexing policy, firmware
// image) and the close confirmation.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <system_error>

#include "app/program_entry.h"
#include "app/single_instance.h"
#include "tests/unit/app_fakes.h"
#include "tests/unit/app_stage_helpers.h"

namespace {

using apptest::Rig;

constexpr const char* kNoFirmware = "No firmware is found or incorrect firmware!";

bool logged(const apptest::CallLog& log, const std::string& call) {
    return std::find(log.begin(), log.end(), call) != log.end();
}

// Position of `call` in the log, or -1.
int at(const apptest::CallLog& log, const std::string& call) {
    auto it = std::find(log.begin(), log.end(), call);
    return it == log.end() ? -1 : static_cast<int>(it - log.begin());
}

struct StartupRow {
    const char* name;
    app::OsVersion version;
    int policy;
    bool imagePresent;
    // Expected.
    bool policyAsked;
    bool restarted;  // resume entry and restart
    bool terminated;
    bool startEnabled;
    bool noFirmwareBox;
    bool folderOutsideCodePage = false;  // also expects the box that names the fix
};

const StartupRow kStartupRows[] = {
    {"win7_image", {6, 1}, 0, true, false, false, false, true, false},
    {"win7_missing", {6, 1}, 0, false, false, false, false, false, true},
    {"xp_image", {5, 1}, 2, true, false, false, false, true, false},
    {"minor2_of_major5", {5, 2}, 2, true, false, false, false, true, false},
    {"win8_in_force", {6, 2}, 1, true, true, false, false, true, false},
    {"win81_in_force_missing", {6, 3}, 1, false, true, false, false, false, true},
    {"win10_in_force", {10, 0}, 1, true, true, false, false, true, false},
    {"win8_just_written", {6, 2}, 0, true, true, true, true, false, false},
    {"win10_just_written_missing", {10, 0}, 0, false, true, true, true, false, false},
    {"win8_stop", {6, 2}, 2, true, true, false, true, false, false},
    {"win81_stop_missing", {6, 3}, 2, false, true, false, true, false, false},
    {"win10_other_value_3", {10, 0}, 3, true, true, false, false, true, false},
    {"win10_other_value_minus1", {10, 0}, -1, false, true, false, false, false, true},
    {"win7_folder_outside_code_page", {6, 1}, 1, true, false, false, true, false, false, true},
    {"win10_folder_outside_code_page", {10, 0}, 0, true, false, false, true, false, false, true},
};

TEST(AppStartup, OutcomeTable) {
    for (const auto& row : kStartupRows) {
        SCOPED_TRACE(row.name);
        Rig::Options options;
        options.version = row.version;
        options.policy = row.policy;
        options.imagePresent = row.imagePresent;
        Rig rig(options, [&](Rig& r) { r.desktop.pathFitsCodePage = !row.folderOutsideCodePage; });
        const auto& log = rig.log;

        EXPECT_EQ(logged(log, "CheckIndexingPolicy"), row.policyAsked);
        EXPECT_EQ(logged(log, "WriteResumeEntry"), row.restarted);
        EXPECT_EQ(logged(log, "RestartWindows"), row.restarted);
        if (row.restarted) {
            EXPECT_LT(at(log, "WriteResumeEntry"), at(log, "RestartWindows"));
        }
        EXPECT_EQ(logged(log, "terminate"), row.terminated);
        EXPECT_EQ(rig.form().terminated(), row.terminated);
        EXPECT_EQ(rig.get("SpeedButtonStart").enabled(), row.startEnabled);
        EXPECT_EQ(std::any_of(rig.dialogs.boxes.begin(), rig.dialogs.boxes.end(),
                              [](const apptest::Box& b) { return b.text.rfind(kNoFirmware, 0) == 0; }),
                  row.noFirmwareBox);

        if (row.policyAsked) {
            // The policy comes before the catalogue, and after the program
            // folder is known.
            EXPECT_TRUE(rig.host.imagePathAtCheck.empty());
            EXPECT_EQ(rig.host.programFolderAtCheck, rig.dir.path());
        }
        if (row.folderOutsideCodePage && !rig.dialogs.boxes.empty()) {  // counted below
            EXPECT_EQ(rig.dialogs.boxes[0].text, app::kFolderOutsideCodePageMessage);
            EXPECT_EQ(rig.dialogs.boxes[0].caption, app::kApplicationTitle);
            EXPECT_EQ(rig.dialogs.boxes[0].flags, app::kMbOk | app::kMbIconWarning);
        }
        if (row.terminated) {
            // The catalogue is never looked at.
            EXPECT_EQ(rig.dialogs.boxes.size(), row.folderOutsideCodePage ? 1u : 0u);
            EXPECT_STREQ(bootdrive::FirmwareImagePath, "");
            EXPECT_EQ(rig.get("LabelFrmVerNew1").caption(), "");
        }
        const bool catalogueRead = !row.terminated && row.imagePresent;
        EXPECT_EQ(rig.get("LabelFrmVerNew1").caption(), catalogueRead ? "2.05" : "");
        EXPECT_EQ(rig.get("LabelFrmVerNew3").caption(), catalogueRead ? "2.05" : "");
        const std::string imagePath = bootdrive::FirmwareImagePath;
        if (catalogueRead) {
            EXPECT_EQ(imagePath.rfind(rig.dir.path(), 0), 0u) << imagePath;
            EXPECT_NE(imagePath.find("App_K40.SBIN"), std::string::npos) << imagePath;
        } else {
            EXPECT_EQ(imagePath, "");
        }
    }
}

TEST(AppStartup, MissingImageShowsTheErrorBoxAndLeavesTheLabelsEmpty) {
    Rig::Options options;
    options.imagePresent = false;
    Rig rig(options);
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    const auto& box = rig.dialogs.boxes[0];
    EXPECT_EQ(box.text.rfind(std::string(kNoFirmware) + "\n\n", 0), 0u) << "its first line, then what stands in the way";
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.flags, 0x10u);
    EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "");
    EXPECT_EQ(rig.activePage(), "TabSheetStart");
    EXPECT_FALSE(rig.form().terminated());
}

TEST(AppStartup, CatalogueWithoutARecordShowsUnknownAndTheStatusText) {
    Rig::Options options;
    options.catalogue = "Image,Version\nbin\\app_k40.sbin,2.05\n";
    Rig rig(options);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_TRUE(rig.get("SpeedButtonStart").enabled());
    EXPECT_EQ(rig.get("LabelFrmVerNew1").caption(), "Unknown");
    EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "Firmware version is not detected!");
}

TEST(AppStartup, ProgramFolderComesFromTheProgramsOwnPath) {
    Rig rig;
    EXPECT_EQ(app::ProgramFolder, rig.dir.path());
    // The window exists before anything else; what the first page does not
    // need comes once it is shown.
    ASSERT_GE(rig.log.size(), 2u);
    EXPECT_EQ(rig.log[0], "createWindow");
    EXPECT_EQ(rig.log.back(), "registerPortNotifications");
    EXPECT_NE(rig.form().CopyWorker, nullptr);
}

TEST(AppStartup, TextsAfterStartUp) {
    Rig rig;
    struct {
        const char* name;
        std::string caption;
    } rows[] = {
        {"FormMain", "ZEMO ZOD Ezodi R Iravevod Idavedi"},
        {"StaticTextTitle", "Welcome to ZEMO ZOD Ezodi R Iravevod Idavedi"},
        {"StaticTextStartTitle", "Please check below items before starting ZEMO ZOD Ezodi R Iravevod Idavedi:"},
        {"lblUpgradeStatus", ""},
        {"StaticTextFrmUpgMessage1", ""},  // design-time texts never seen
        {"StaticTextFrmUpgMessage2", ""},
        {"LabelFrmVerOriginal1", ""},
        {"LabelFrmVerOriginal3", ""},
        {"LabelFrmVerNew1", "2.05"},
        {"LabelFrmVerNew3", "2.05"},
        {"LabelProgressPersent", "0%"},
        {"LabelVersion", "Ver 1.8.2 Build:2016.04.26"},
    };
    for (const auto& r : rows) EXPECT_EQ(rig.get(r.name).caption(), r.caption) << r.name;

    EXPECT_EQ(rig.get("LabelZEMOWeb").caption(), app::kMakerWebAddress);
    EXPECT_EQ(rig.get("ImageLogo").picture(), ui::Picture::Logo);
    for (const char* page : {"TabSheetStart", "TabSheetFirmwareVersion", "TabSheetFirmwareUpgrade"})
        EXPECT_FALSE(rig.get(page).tabVisible()) << page;
    EXPECT_EQ(rig.activePage(), "TabSheetStart");
    EXPECT_EQ(rig.get("lblUpgradeStatus").font().colour, ui::kBlack);
    EXPECT_EQ(rig.get("ProgressBar2").position(), 0);
    EXPECT_FALSE(rig.get("SpeedButtonFrmUpgFinish").enabled());
    EXPECT_FALSE(rig.get("TimerBlinkingText").enabled());
    EXPECT_FALSE(rig.get("TimerCopyFileProgressCTL").enabled());

    app::TFormMain& f = rig.form();
    EXPECT_EQ(f.UpgradeStage, 0);
    EXPECT_EQ(f.DeviceIdentified, 0);
    EXPECT_EQ(f.DevicePortNumber, 0);
    EXPECT_EQ(f.BootDriveLetter, 255);
    EXPECT_EQ(rig.ports.calls, 0);
    EXPECT_EQ(rig.drives.scans, 0);
}

TEST(AppStartup, FirstProgressIsDrawnBecauseNothingWasShownBefore) {
    Rig rig;
    // The start-up reset draws 0 once, though the label already read "0%".
    EXPECT_EQ(rig.desktop.observer.repaintCount("LabelProgressPersent"), 1);
    EXPECT_EQ(app::Upgrade.ShownProgressPercent, 0);
}

// --- Close confirmation ---

TEST(AppClose, AnswerDecidesAndNothingElseChanges) {
    struct {
        int answer;
        bool closes;
    } rows[] = {{app::kIdOk, true}, {app::kIdCancel, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answer);
        Rig rig(Rig::Options{}, [](Rig& x) { x.drives.addBootDrive('E', true); });
        rig.clickStart();
        rig.clickYes();
        rig.tick(2);  // copying now
        rig.dialogs.boxes.clear();
        rig.dialogs.answers = {r.answer};
        const auto eventsBefore = rig.desktop.observer.events.size();

        EXPECT_EQ(rig.form().FormClose(), r.closes);

        ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
        EXPECT_EQ(rig.dialogs.boxes[0].text, "Are you sure to exit?");
        EXPECT_EQ(rig.dialogs.boxes[0].caption, "Exit!");
        EXPECT_EQ(rig.dialogs.boxes[0].flags, 0x131u);  // Cancel the default while the image is copied
        // OK stops the copy first, and its cut file goes with it; Cancel lets it run.
        const auto ended = rig.form().CopyWorker->lastCopy();
        EXPECT_EQ(ended.has_value(), r.closes);
        if (ended) {
            EXPECT_EQ(ended->result.error, 1235u);
        }
        // The stage and the timers stay as they were.
        EXPECT_EQ(rig.desktop.observer.events.size(), eventsBefore);
        EXPECT_EQ(rig.form().UpgradeStage, 2);
        EXPECT_EQ(app::Upgrade.CopyInProgress, 1);
        EXPECT_TRUE(rig.get("TimerCopyFileProgressCTL").enabled());
        EXPECT_TRUE(rig.get("TimerBlinkingText").enabled());
        if (r.closes) continue;
        // After Cancel the copy goes on to its end, and the upgrade to "Finish!".
        ASSERT_TRUE(apptest::endCopy(rig));
        rig.tick();
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "Finish!");
    }
}

TEST(AppClose, ExitButtonAsksTheWindowToClose) {
    Rig rig;
    rig.click("SpeedButtonExit1");
    EXPECT_TRUE(logged(rig.log, "closeWindow"));
    EXPECT_TRUE(rig.dialogs.boxes.empty());  // the close itself asks
}

// OK is the default outside an upgrade; from Yes until the attempt ends
// (the wait for the boot drive too) Cancel is, so that an Enter does not
// leave the transponder in its boot loader. Cancel, or a box that could not
// be shown, keeps the window. (Esc in the box is Cancel: e2e_keyboard.sh.)
TEST(AppClose, OkIsTheDefaultOutsideAnUpgradeAndOnlyOkCloses) {
    const struct {
        const char* where;
        std::function<void(Rig&)> reach;
        unsigned flags;
    } rows[] = {
        {"start page", [](Rig&) {}, 0x31u},
        {"waiting for the boot drive", apptest::toWaiting, 0x131u},
        {"finished", apptest::toCompleteOverSerial, 0x31u},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        Rig rig(Rig::Options{}, apptest::serialDevice);
        row.reach(rig);
        rig.dialogs.answers = {app::kIdCancel};
        EXPECT_FALSE(rig.form().FormClose());
        EXPECT_EQ(rig.dialogs.boxes.back().flags, row.flags);
        rig.dialogs.answers = {0};  // the box could not be shown
        EXPECT_FALSE(rig.form().FormClose());
    }
}

// The program entry on fakes: a worker thread the system refuses (asked for
// once the window is up) ends in the error box with the application title,
// once the window has let go of the layout (run under AddressSanitizer, a
// window still holding it would walk freed components), and the exit code is
// 0 either way.
TEST(ProgramEntry, ErrorsEndInTheEntrysBoxWithExitCode0) {
    const std::system_error refused(std::make_error_code(std::errc::resource_unavailable_try_again), "no thread");
    struct Row {
        const char* name;
        bootdrive::WorkerLauncher launch;
        bool errorBox;
        std::string text;
        bool shown;
        std::string createFails = "", showFails = "";
    };
    const Row rows[] = {
        {"worker refused", [&](std::function<void()>) { throw refused; }, true, refused.what(), true},
        {"not a standard error", [](std::function<void()>) { throw 42; }, true, "", true},
        {"normal run", bootdrive::LaunchDetachedThread, false, "", true},
        // No window on the screen: said in plain words, and the program ends.
        {"window not made", bootdrive::LaunchDetachedThread, true,
         app::WindowFailedMessage("Windows says: Invalid window handle. (error 1400)"), false,
         "Windows says: Invalid window handle. (error 1400)"},
        {"window not shown", bootdrive::LaunchDetachedThread, true,
         app::WindowFailedMessage("Windows did not show it."), false, "", "Windows did not show it."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig::Options options;
        options.buildForm = false;
        Rig rig(options);
        rig.services.launchWorker = row.launch;
        rig.desktop.createFails = row.createFails;
        rig.desktop.showFails = row.showFails;
        rig.desktop.messageLoop = [&] { EXPECT_NE(rig.desktop.closeRequest, nullptr); };

        EXPECT_EQ(app::RunWizard(rig.services), 0);

        const auto& log = rig.log;
        EXPECT_TRUE(logged(log, "releaseWindow"));
        EXPECT_EQ(logged(log, "showWindow"), row.shown);
        EXPECT_EQ(logged(log, "runMessageLoop"), !row.errorBox);
        if (row.errorBox) {
            ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
            EXPECT_EQ(rig.dialogs.boxes[0].text, row.text);
            EXPECT_EQ(rig.dialogs.boxes[0].caption, app::kApplicationTitle);
            EXPECT_EQ(rig.dialogs.boxes[0].flags, app::kMbOk | app::kMbIconError);
            EXPECT_LT(at(log, "releaseWindow"), at(log, "box:" + row.text));
        } else {
            EXPECT_TRUE(rig.dialogs.boxes.empty());
        }
        EXPECT_EQ(rig.desktop.closeRequest, nullptr) << "nothing is left that refers to the gone window";
    }
}

// A second start: the running wizard's window is brought forward and the
// new start ends; a lock left by a crashed wizard, or one that cannot be
// made at all, lets the start run.
TEST(SingleInstance, DecidesWhetherThisStartRuns) {
    using app::InstanceLock;
    // The running wizard as a second start sees it over time: the lock,
    // held until `releasedAtMs` (then free, or abandoned), and something to
    // bring forward from `shownAtMs` on (-1: never, as for another user).
    struct Fake : app::InstanceSystem {
        InstanceLock first;
        int releasedAtMs, shownAtMs;
        InstanceLock released;
        int nowMs = 0, broughtForward = 0;
        InstanceLock takeLock(int waitMs) override {
            if (first != InstanceLock::HeldElsewhere) return first;
            if (releasedAtMs >= 0 && nowMs + waitMs >= releasedAtMs) {
                nowMs = std::max(nowMs, releasedAtMs);
                return released;
            }
            nowMs += waitMs;
            return InstanceLock::HeldElsewhere;
        }
        bool bringRunningWizardForward() override {
            const bool found = shownAtMs >= 0 && nowMs >= shownAtMs;
            broughtForward += found;
            return found;
        }
    };
    constexpr InstanceLock kHeld = InstanceLock::HeldElsewhere, kFree = InstanceLock::Taken;
    struct Row {
        const char* name;
        InstanceLock first;
        int releasedAtMs;
        InstanceLock released;
        int shownAtMs;
        bool runs;
        bool broughtForward;
        bool told;
        int decidedByMs;
    } rows[] = {
        {"lock free", kFree, -1, kFree, -1, true, false, false, 0},
        {"abandoned by a crash", InstanceLock::Abandoned, -1, kFree, -1, true, false, false, 0},
        {"lock cannot be made", InstanceLock::Unavailable, -1, kFree, -1, true, false, false, 0},
        {"held, its window or box on screen", kHeld, -1, kFree, 0, false, true, false, 0},
        {"held, its window comes up after 2 s", kHeld, -1, kFree, 2000, false, true, false, 2000},
        {"held by a wizard that ends within 1 s", kHeld, 900, kFree, -1, true, false, false, 900},
        {"held by one that crashes as it ends", kHeld, 400, InstanceLock::Abandoned, -1, true, false, false, 400},
        {"held by another user's wizard", kHeld, -1, kFree, -1, false, false, true, 5000},
        {"held by a wizard that ends too late", kHeld, 9000, kFree, -1, false, false, true, 5000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        apptest::CallLog log;
        apptest::FakeDialogs dialogs(log);
        Fake fake;
        fake.first = row.first;
        fake.releasedAtMs = row.releasedAtMs;
        fake.shownAtMs = row.shownAtMs;
        fake.released = row.released;
        EXPECT_EQ(app::ClaimSingleInstance(fake, dialogs), row.runs);
        EXPECT_EQ(fake.broughtForward, row.broughtForward ? 1 : 0);
        EXPECT_EQ(fake.nowMs, row.decidedByMs);
        ASSERT_EQ(dialogs.boxes.size(), row.told ? 1u : 0u);
        if (row.told) {
            EXPECT_EQ(dialogs.boxes[0].text, app::kAlreadyRunningMessage);
            EXPECT_EQ(dialogs.boxes[0].caption, "ZEMO DAZ Adoze R Irodidiz Odovuz");
            EXPECT_EQ(dialogs.boxes[0].flags, 0x40u) << "OK with the information icon";
        }
    }
}

}  // namespace
