// The upgrade stage machine over time: the control timer's rhythm, the
// stall and completion rules, the boot-mode and serial paths, a second
// upgrade, and the progress display.
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

TEST(AppStageMachine, ControlTimerPollsEverySecondTickAndGivesUpOnTheEleventh) {
    Rig rig(Rig::Options{}, serialDevice);
    toWaiting(rig);
    rig.drives.scans = 0;  // Start scanned once
    // Modal boxes let timers run nested: the control timer idles meanwhile.
    rig.dialogs.whileShown = [&rig] {
        EXPECT_EQ(rig.activePage(), kUpgradePage);
        rig.tick(3);
    };
    const int expectedScans[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
    for (int t = 1; t <= 11; ++t) {
        rig.tick();
        EXPECT_EQ(rig.drives.scans, expectedScans[t - 1]) << "tick " << t;
        EXPECT_EQ(rig.dialogs.boxes.size(), t == 11 ? 1u : 0u) << "tick " << t;
    }
    rig.dialogs.whileShown = nullptr;
    EXPECT_EQ(boxTexts(rig), std::vector<std::string>{kNotReady});
    EXPECT_EQ(rig.drives.scans, 5);

    // Left enabled and idle.
    rig.tick(20);
    EXPECT_EQ(rig.drives.scans, 5);
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(rig.get("TimerCopyFileProgressCTL").enabled());

    // A new Yes keeps the running timer's rhythm and waits afresh.
    const int timerChanges = rig.desktop.observer.count("TimerCopyFileProgressCTL", ui::Prop::TimerState);
    toWaiting(rig);
    rig.drives.scans = 0;
    EXPECT_EQ(rig.desktop.observer.count("TimerCopyFileProgressCTL", ui::Prop::TimerState), timerChanges);
    EXPECT_EQ(rig.ports.bootCommands().size(), 2u);  // sent again on the serial path
    rig.tick();
    EXPECT_EQ(rig.drives.scans, 0);
    rig.tick();
    EXPECT_EQ(rig.drives.scans, 1);
    rig.drives.addBootDrive('E', true);
    rig.tick(2);
    EXPECT_EQ(rig.drives.scans, 2);
    EXPECT_EQ(app::Upgrade.CopyInProgress, 1);
}

TEST(AppStageMachine, StallRule) {
    struct {
        const char* name;
        std::function<void(Rig&)> lastChange;  // after the copy has started
        int toleratedTicks;                    // further ticks without a box
    } rows[] = {
        // The copy's first watch tick already sees the unchanged 0.
        {"never_moves", [](Rig&) {}, 29},
        {"stuck_at_37", [](Rig& r) { setProgress(37); r.tick(); }, 30},
        {"stuck_at_99", [](Rig& r) { setProgress(99); r.tick(); }, 30},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(Rig::Options{}, bootModeDevice);
        toCopying(rig);
        row.lastChange(rig);
        rig.tick(row.toleratedTicks);
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        EXPECT_EQ(rig.form().UpgradeStage, 2);
        rig.tick();
        ASSERT_EQ(boxTexts(rig), std::vector<std::string>{kStalled});
        EXPECT_EQ(rig.dialogs.boxes[0].activePage, kStartPage);
        EXPECT_FALSE(rig.get("TimerCopyFileProgressCTL").enabled());
        EXPECT_EQ(rig.get("LabelProgressPersent").caption(), "0%");
        // Nothing more happens on later ticks.
        rig.tick(5);
        EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
    }
}

TEST(AppStageMachine, CopyEndingWhileTheStallBoxIsUpDoesNotCompleteOnTheStartPage) {
    Rig rig(Rig::Options{}, bootModeDevice);
    toCopying(rig);
    rig.tick(29);
    // The slow copy ends while the user reads the box.
    rig.dialogs.whileShown = [] { setProgress(100); };
    rig.tick();
    ASSERT_EQ(boxTexts(rig), std::vector<std::string>{kStalled});
    EXPECT_EQ(rig.activePage(), kStartPage);
    EXPECT_EQ(rig.form().UpgradeStage, 0);
    EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "");
    EXPECT_FALSE(rig.get("SpeedButtonFrmUpgFinish").enabled());
    EXPECT_EQ(rig.get("LabelProgressPersent").caption(), "0%");
    EXPECT_EQ(rig.get("ProgressBar2").position(), 0);
    EXPECT_EQ(app::Upgrade.CopyInProgress, 0);
}

TEST(AppStageMachine, ChangingProgressNeverStalls) {
    Rig rig(Rig::Options{}, bootModeDevice);
    toCopying(rig);
    for (int i = 0; i < 90; ++i) {
        setProgress(i);  // a change every tick, however small
        rig.tick();
    }
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_EQ(app::Upgrade.CopyInProgress, 1);
    EXPECT_EQ(rig.get("LabelProgressPersent").caption(), "89%");
}

// The worker may publish between any two reads of the tick. Each read
// here returns the value and then moves it on, as such a worker would: a
// tick that read more than once would judge one value and show another.
TEST(AppStageMachine, EachWatchTickReadsTheProgressOnce) {
    Rig rig(Rig::Options{}, bootModeDevice);
    int reads = 0;
    int32_t published = 97;
    rig.form().setCopyProgressReader([&] {
        ++reads;
        return published++;
    });
    toWaiting(rig);
    rig.tick();
    EXPECT_EQ(reads, 0) << "no read while waiting for the drive";
    const struct {
        int32_t judged;
        bool completes;
    } ticks[] = {{97, false}, {98, false}, {99, false}, {100, true}};
    for (const auto& t : ticks) {
        SCOPED_TRACE(t.judged);
        const int before = reads;
        rig.tick();  // the first of them starts the copy and watches at once
        EXPECT_EQ(reads - before, 1);
        EXPECT_EQ(app::Upgrade.LastProgressPercent, t.judged);
        EXPECT_EQ(rig.get("SpeedButtonFrmUpgFinish").enabled(), t.completes);
        EXPECT_EQ(rig.get("LabelProgressPersent").caption(), std::to_string(t.judged) + "%");
    }
}

TEST(AppStageMachine, CompletionAtOneHundredAndAbove) {
    struct {
        int32_t percent;
        bool completes;
    } rows[] = {{98, false}, {99, false}, {100, true}, {101, true}, {150, true}, {199, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.percent);
        Rig rig(Rig::Options{}, bootModeDevice);
        toCopying(rig);
        setProgress(row.percent);
        rig.tick();
        EXPECT_EQ(rig.get("SpeedButtonFrmUpgFinish").enabled(), row.completes);
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), row.completes ? "Finish!" : "Upgrading ...");
        const int32_t shown = row.completes ? 100 : row.percent;
        EXPECT_EQ(rig.get("LabelProgressPersent").caption(), std::to_string(shown) + "%");
        EXPECT_EQ(rig.get("ProgressBar2").position(), shown);
        EXPECT_EQ(bootdrive::CopyProgressPercent.load(), shown);
        EXPECT_EQ(app::Upgrade.CopyInProgress, row.completes ? 0 : 1);
        EXPECT_EQ(rig.get("TimerCopyFileProgressCTL").enabled(), !row.completes);
    }
}

TEST(AppStageMachine, SuccessfulCopyCompletesAtTheNextTick) {
    Rig rig(Rig::Options{}, bootModeDevice);
    rig.copier.succeed = true;
    toCopying(rig);
    ASSERT_TRUE(rig.copier.waitForCopies(1, 5s));
    // The worker publishes 100 once its copy has returned.
    for (int i = 0; i < 500 && bootdrive::CopyProgressPercent.load() != 100; ++i)
        std::this_thread::sleep_for(10ms);
    rig.tick();
    EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "Finish!");
    EXPECT_TRUE(rig.get("SpeedButtonFrmUpgFinish").enabled());
}

TEST(AppStageMachine, DeviceInBootModeNeedsNoSerialPortAndCopiesAtTheSecondTick) {
    Rig rig(Rig::Options{}, [](Rig& r) {
        bootModeDevice(r);
        serialDevice(r);  // present, but never to be touched
    });
    rig.clickStart();
    rig.clickYes();
    EXPECT_EQ(rig.ports.calls, 0);
    EXPECT_TRUE(rig.ports.exchanges.empty());
    rig.tick();
    EXPECT_EQ(app::Upgrade.CopyInProgress, 0);
    rig.tick();
    EXPECT_EQ(app::Upgrade.CopyInProgress, 1);
    EXPECT_TRUE(rig.copier.waitForCopies(1, 5s));
    EXPECT_EQ(rig.ports.calls, 0);
}

TEST(AppStageMachine, BootDriveWithoutReadyFileTakesTheSerialPath) {
    Rig rig(Rig::Options{}, [](Rig& r) {
        r.drives.addBootDrive('E', false);
        serialDevice(r);
    });
    rig.clickStart();
    EXPECT_GT(rig.ports.calls, 0);
    EXPECT_EQ(rig.get("LabelFrmVerOriginal1").caption(), kDeviceVersion);
    EXPECT_EQ(app::Upgrade.BootCommandPending, 1);
    rig.clickYes();
    EXPECT_EQ(rig.ports.bootCommands().size(), 1u);
    // The device then shows its ready file.
    rig.tick();
    rig.drives.setReady('E', true);
    rig.tick();
    EXPECT_EQ(app::Upgrade.CopyInProgress, 1);
}

TEST(AppStageMachine, NoDeviceLeavesTheStartPageAndStartCanBePressedAgain) {
    Rig rig;
    rig.clickStart();
    EXPECT_EQ(boxTexts(rig), std::vector<std::string>{std::string(kNoDevice) + kNoComPort});
    EXPECT_EQ(rig.activePage(), kStartPage);
    // The device is plugged in now.
    serialDevice(rig);
    rig.clickStart();
    EXPECT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.activePage(), kVersionPage);
}

TEST(AppStageMachine, SecondUpgradeInTheSameRun) {
    Rig rig(Rig::Options{}, serialDevice);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        rig.drives.drives.clear();  // the device runs its application
        rig.copier.succeed = false;
        rig.clickStart();
        ASSERT_EQ(rig.activePage(), kVersionPage);
        rig.clickYes();
        EXPECT_EQ(rig.ports.bootCommands().size(), static_cast<size_t>(run));
        rig.drives.addBootDrive('F', true);  // the boot loader is up
        rig.tick(2);
        ASSERT_EQ(app::Upgrade.CopyInProgress, 1);
        ASSERT_TRUE(rig.copier.waitForCopies(run, 5s));
        setProgress(60);
        rig.tick();
        ASSERT_TRUE(endCopy(rig));  // whole; the worker waits for the next
        rig.tick();
        EXPECT_EQ(rig.get("lblUpgradeStatus").caption(), "Finish!");
        rig.clickFinish();
        EXPECT_EQ(rig.activePage(), kStartPage);
    }
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST(AppStageMachine, ShowProgressSkipsTheValueAlreadyShown) {
    struct {
        const char* name;
        std::vector<int32_t> values;
        int draws;
        const char* label;
        int bar;
    } rows[] = {
        {"zero_again", {0}, 0, "0%", 0},
        {"repeats", {5, 5, 7, 7, 7}, 2, "7%", 7},
        {"back_and_forth", {5, 6, 5}, 3, "5%", 5},
        {"above_range", {150}, 1, "150%", 100},
        {"back_to_zero", {42, 0}, 2, "0%", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        const auto& obs = rig.desktop.observer;
        const int repaintsBefore = obs.repaintCount("LabelProgressPersent");
        const int captionsBefore = obs.count("LabelProgressPersent", ui::Prop::Caption);
        for (int32_t v : row.values) rig.form().ShowProgress(v);
        EXPECT_EQ(obs.repaintCount("LabelProgressPersent") - repaintsBefore, row.draws);
        EXPECT_EQ(obs.count("LabelProgressPersent", ui::Prop::Caption) - captionsBefore, row.draws);
        EXPECT_EQ(rig.get("LabelProgressPersent").caption(), row.label);
        EXPECT_EQ(rig.get("ProgressBar2").position(), row.bar);
    }
}

TEST(AppStageMachine, LogoAndWebLabelOpenTheWebPage) {
    for (const char* component : {"ImageLogo", "LabelZEMOWeb"}) {
        SCOPED_TRACE(component);
        Rig rig;
        const auto eventsBefore = rig.desktop.observer.events.size();
        rig.click(component);
        ASSERT_EQ(rig.desktop.webPages.size(), 1u);
        EXPECT_EQ(rig.desktop.webPages[0], rig.get("LabelZEMOWeb").caption());
        EXPECT_EQ(rig.desktop.observer.events.size(), eventsBefore);
        EXPECT_EQ(rig.form().UpgradeStage, 0);
    }
}

}  // namespace
