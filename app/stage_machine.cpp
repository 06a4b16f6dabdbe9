// The three stages of an upgrade: start page, version page, upgrade page,
// driven by the buttons and the two timers.
#include <cstdio>
#include <string>

#include "app/Mainform.h"
#include "app/failure_messages.h"
#include "bootdrive/boot_drive.h"
#include "bootdrive/copy_end.h"
#include "serial/port_discovery.h"

namespace app {

namespace {

std::string Seconds(int64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

// The status line while the copy settles, its seconds counted.
std::string SettlingStatus(uint32_t seconds) { return kSettlingStatus + std::to_string(seconds) + " s"; }

}  // namespace

void TFormMain::SetUpgradeStage(int32_t stage) {
    if (stage == 0) {
        setUpgradeUnderWay(false);
        stopVersionWatch("the finished page was left");
        ResetStageDisplay();
        PageControlFirmwareUpgradeStage.setActivePage(&TabSheetStart);
    }
    UpgradeStage = stage;
}

void TFormMain::ShowUpgradeStage() {
    if (UpgradeStage == 1) {
        ShowProgress(0);
        PageControlFirmwareUpgradeStage.setActivePage(&TabSheetFirmwareVersion);
    } else if (UpgradeStage == 2) {
        ShowProgress(0);
        lblUpgradeStatus.setCaption("Upgrading ...");
        PageControlFirmwareUpgradeStage.setActivePage(&TabSheetFirmwareUpgrade);
    }
}

void TFormMain::ResetStageDisplay() {
    TimerBlinkingText.setEnabled(false);
    ShowProgress(0);
    lblUpgradeStatus.setCaption("");
    lblUpgradeStatus.setFontColour(kBlack);
    StaticTextFrmUpgMessage1.setCaption("");
    StaticTextFrmUpgMessage2.setCaption("");
    DeviceIdentified = 0;
    SpeedButtonFrmUpgFinish.setEnabled(false);
    LabelFrmVerOriginal1.setCaption("");
    LabelFrmVerOriginal3.setCaption("");
    BootDriveLetter = bootdrive::kNoBootDrive;
    DevicePortNumber = 0;
}

void TFormMain::ShowProgress(int32_t percent) {
    if (percent == Upgrade.ShownProgressPercent) return;
    Upgrade.ShownProgressPercent = percent;
    ProgressBar2.setPosition(percent);
    LabelProgressPersent.setCaption(std::to_string(percent) + "%");
    // Paint the figure now, also in the middle of a handler (the scan).
    LabelProgressPersent.repaint();
}

void TFormMain::SpeedButtonStartClick() {
    // The scan lets the window answer what is sent to it; should that open
    // a nested message loop (a modal box), a queued Start is dispatched
    // there, inside this one: it does nothing.
    if (startRunning_) return;
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(startRunning_);

    services_.log.line("Start pressed");
    if (!imageCheckPasses()) return;
    // A look of the version watch may still be in hand: a port whose driver
    // hangs keeps it. The search waits a while for it, then goes on without
    // that worker.
    if (ports_->busy()) {
        services_.log.line("a look after the last upgrade is still in hand: the search waits for it");
        if (!ports_->settle(kLookSettleLimit))
            services_.log.line("the look did not end within 3 s: the search takes a fresh worker");
    }
    if (leaveAfterSearch_) {
        services_.desktop.terminate();
        return;
    }
    const auto look = bootdrive::LookForReadyBootDrive(services_.drives);
    BootDriveLetter = static_cast<uint8_t>(look.drive);
    services_.log.line("boot drive look: " + look.seen);
    if (look.ready) {
        services_.log.line("the transponder waits in its boot loader");
        LabelFrmVerOriginal1.setCaption(kBootModeVersion);
        LabelFrmVerOriginal3.setCaption(kBootModeVersion);
        LabelFrmVerNew1.setCaption(NewFirmwareVersion);
        LabelFrmVerNew3.setCaption(NewFirmwareVersion);
        DeviceIdentified = 1;
        Upgrade.BootCommandPending = 0;
        SetUpgradeStage(1);
        ShowUpgradeStage();
        return;
    }
    DetectDeviceVersion();
    if (leaveAfterSearch_) {
        services_.desktop.terminate();
        return;
    }
    if (Ports.CandidatePorts.empty()) {
        // A port whose call hung in this search, or that is refused because
        // a call given up earlier is still in its driver, is the driver's
        // doing, not another program's.
        std::vector<int> stuck = Ports.HungPorts;  // never busy: their probe did not end
        for (int port : Ports.BusyPorts)
            if (ports_->stillInGivenUpCall(port)) stuck.push_back(port);
        for (int port : stuck)
            services_.log.line(serial::ComName(port) + " is held by the wizard's own call, still in its driver");
        services_.log.line("outcome: no transponder found");
        showError(NoDeviceMessage(Ports, stuck));
        return;
    }
    Upgrade.BootCommandPending = 1;
    SetUpgradeStage(1);
    ShowUpgradeStage();
}

void TFormMain::DetectDeviceVersion() {
    serial::DeviceFields device{DevicePortNumber, DeviceIdentified};
    serial::DetectDeviceVersion(*ports_, Ports, *this, device, &ports_->crew());
    DevicePortNumber = device.DevicePortNumber;
    DeviceIdentified = device.DeviceIdentified;
}

void TFormMain::showProgress(int32_t percent) { ShowProgress(percent); }
void TFormMain::showDeviceVersion(const std::string& version) {
    LabelFrmVerOriginal1.setCaption(version);
    LabelFrmVerOriginal3.setCaption(version);
}
void TFormMain::answerSystem() { services_.desktop.answerSystem(); }
void TFormMain::report(const std::string& line) { services_.log.line(line); }

void TFormMain::SpeedButtonFrmVerWantToContinueYesClick() {
    services_.log.line("Yes pressed");
    TimerBlinkingText.setEnabled(true);
    ContinueUpgrade();
}

void TFormMain::ContinueUpgrade() {
    if (DeviceIdentified == 0) {
        SetUpgradeStage(0);
        return;
    }
    SetUpgradeStage(2);
    ShowUpgradeStage();
    setUpgradeUnderWay(true);
    // What the transponder runs now, to tell after its restart whether the
    // new firmware took; none known when it was found in its boot loader.
    versionBefore_ = LabelFrmVerOriginal1.caption() == kBootModeVersion ? "" : LabelFrmVerOriginal1.caption();
    if (Upgrade.BootCommandPending == 1) {
        char sentence[100] = {};
        std::char_traits<char>::copy(sentence, serial::kBootCommand, serial::kBootCommandLength);
        const serial::Exchanged sent =
            serial::SendBootCommand(*ports_, DevicePortNumber, sentence, serial::kBootCommandLength);
        services_.log.line("boot command to " + serial::ComName(DevicePortNumber) + ": " +
                           serial::DescribeWrite(sent, serial::kBootCommandLength));
        Upgrade.BootCommandPending = 0;
    }
    Upgrade.WaitingForBootDrive = 1;
    TimerCopyFileProgressCTL.setEnabled(true);
}

void TFormMain::SpeedButtonFrmVerWantToContinueNoClick() {
    services_.log.line("No pressed");
    SetUpgradeStage(0);
}

void TFormMain::SpeedButtonFrmUpgFinishClick() {
    services_.log.line("Finish pressed");
    SetUpgradeStage(0);
}

void TFormMain::ImageLogoClick() { services_.desktop.openWebPage(kMakerWebAddress); }

bool TFormMain::StartFirmwareCopy() {
    ProgressBar2.setMax(100);
    ProgressBar2.setMin(0);
    bootdrive::CopyProgressPercent.store(0, std::memory_order_relaxed);
    ShowProgress(0);
    Upgrade.SettleTicks = 0;
    // A copy given up as stalled was asked to stop, but Windows may not
    // have called its progress routine since: its outcome must never pass
    // for this attempt's.
    if (!CopyWorker->Resume()) {
        services_.log.line("copy to " + std::string(bootdrive::FirmwareTargetPath) +
                           " not started: the earlier copy to " + CopyWorker->LastTarget() + " has not ended");
        return false;
    }
    services_.log.line("copy " + std::string(bootdrive::FirmwareImagePath) + " (" + std::to_string(imageBytes_) +
                       " bytes) to " + bootdrive::FirmwareTargetPath);
    watch_.copyStarted();
    return true;
}

void TFormMain::TimerCopyFileProgressCTLTimer() {
    // The worker writes the progress on its own thread: the tick reads it
    // once and judges everything on that one reading.
    auto write = [](int32_t v) { bootdrive::CopyProgressPercent.store(v, std::memory_order_relaxed); };

    if (Upgrade.CopyInProgress == 0 && Upgrade.WaitingForBootDrive == 1) {
        write(0);
        ++Upgrade.BootDriveWaitTicks;
        if (Upgrade.BootDriveWaitTicks > 10) {
            Upgrade.BootDriveWaitTicks = 0;
            Upgrade.WaitingForBootDrive = 0;
            setUpgradeUnderWay(false);
            services_.log.line("outcome: no boot drive with READY.TXT within 10 s");
            showError(kNotReadyMessage);
            SetUpgradeStage(0);
            return;
        }
        if (Upgrade.BootDriveWaitTicks % 2 == 0) {
            const auto look = bootdrive::LookForReadyBootDrive(services_.drives);
            BootDriveLetter = static_cast<uint8_t>(look.drive);
            services_.log.line("boot drive look: " + look.seen);
            if (look.ready) {
                Upgrade.BootDriveWaitTicks = 0;
                Upgrade.WaitingForBootDrive = 0;
                if (!StartFirmwareCopy()) {
                    endFailedAttempt(EarlierCopyMessage(CopyWorker->LastTarget()));
                    return;
                }
                Upgrade.CopyInProgress = 1;
            }
        }
    }
    if (Upgrade.CopyInProgress != 1) return;

    // Watching the copy.
    const int32_t percent = readCopyProgress_();
    // A copy that settles (its every byte out, the drive taking them at its
    // own pace, the file written through and looked at) shows no progress:
    // the stall count holds meanwhile, and the settling has its own bound,
    // which follows the image's size.
    const uint32_t settleLimit = bootdrive::SettleLimitSeconds(imageBytes_);
    if (bootdrive::CopySettlingSince.load(std::memory_order_relaxed) != 0) {
        if (Upgrade.SettleTicks++ == 0)
            services_.log.line("copy settling at " + std::to_string(percent) +
                               "%: every byte is out; the drive takes the file at its own pace, then it is "
                               "written through and looked at (given up after " +
                               std::to_string(settleLimit) + " s)");
        Upgrade.StallTicks = 0;
        lblUpgradeStatus.setCaption(SettlingStatus(Upgrade.SettleTicks));
    } else if (Upgrade.LastProgressPercent == percent) {
        ++Upgrade.StallTicks;
    } else {
        Upgrade.StallTicks = 0;
    }
    Upgrade.LastProgressPercent = percent;

    // A copy that failed is told at once, with its reason; one that neither
    // ends nor moves, after 31 ticks; one that settles, after its bound.
    auto failed = CopyWorker->lastCopy();
    if (failed && failed->result.error == 0) failed.reset();
    if (failed || Upgrade.StallTicks > 30 || Upgrade.SettleTicks > settleLimit) {
        // A copy that stands still is told to stop: it ends the next time
        // Windows reports its progress, and its cut file goes.
        if (!failed) CopyWorker->RequestStop();
        Upgrade.StallTicks = 0;
        Upgrade.CopyInProgress = 0;
        endFailedCopy(failed);
        // The attempt is over and the start page shows 0. A copy that ends
        // while the box is up (before its stop was seen) must not complete
        // the upgrade there: "Finish!" and 100% on the start page.
        return;
    }
    int32_t shown = percent;
    if (percent >= 100) {
        Upgrade.StallTicks = 0;
        Upgrade.SettleTicks = 0;
        write(100);
        shown = 100;
        TimerBlinkingText.setEnabled(false);
        StaticTextFrmUpgMessage2.setFontColour(kColourWindowText);
        StaticTextFrmUpgMessage1.setCaption("");
        StaticTextFrmUpgMessage2.setCaption(kRebootText);
        lblUpgradeStatus.setCaption(kFinishedStatus);
        SpeedButtonFrmUpgFinish.setEnabled(true);
        TimerCopyFileProgressCTL.setEnabled(false);
        Upgrade.CopyInProgress = 0;
        setUpgradeUnderWay(false);
        const auto copied = CopyWorker->lastCopy();
        if (copied) logSettled(*copied);
        services_.log.line("copy done" + (copied ? " in " + Seconds(copied->milliseconds) : std::string()));
        if (copied && !copied->result.unconfirmed.empty())
            services_.log.line("outcome: the firmware went whole onto the transponder's drive, not confirmed there: " +
                               copied->result.unconfirmed);
        else
            services_.log.line("outcome: the firmware is on the transponder's drive" +
                               (copied && !copied->result.why.empty() ? ", " + copied->result.why : std::string()));
        startVersionWatch();
    }
    ShowProgress(shown);
}

void TFormMain::logSettled(const bootdrive::CopyFileThread::CopyRecord& copy) {
    if (copy.settledMilliseconds) services_.log.line("copy settled in " + Seconds(*copy.settledMilliseconds));
}

void TFormMain::endFailedCopy(const std::optional<bootdrive::CopyFileThread::CopyRecord>& failed) {
    if (failed) {
        logSettled(*failed);
        services_.log.line("copy failed after " + Seconds(failed->milliseconds) + ": " +
                           (failed->result.why.empty() ? std::string() : failed->result.why + ": ") +
                           "Windows error " + std::to_string(failed->result.error) + " \"" + failed->result.reason +
                           "\"" + (failed->result.cutTargetRemoved ? "; the cut target was deleted" : ""));
    } else if (Upgrade.SettleTicks > bootdrive::SettleLimitSeconds(imageBytes_)) {
        services_.log.line("copy still settling after " + std::to_string(Upgrade.SettleTicks) +
                           " s: the drive does not answer");
    } else {
        services_.log.line("copy stands still at " + std::to_string(Upgrade.LastProgressPercent) + "% for 31 s");
    }
    Upgrade.SettleTicks = 0;
    endFailedAttempt(failed ? CopyFailedMessage(bootdrive::FirmwareTargetPath, failed->result) : kStalledMessage);
}

void TFormMain::endFailedAttempt(const std::string& box) {
    TimerCopyFileProgressCTL.setEnabled(false);
    bootdrive::CopyProgressPercent.store(0, std::memory_order_relaxed);
    services_.log.line("outcome: the firmware update failed");
    SetUpgradeStage(0);
    showError(box);
}

void TFormMain::TimerBlinkingTextTimer() {
    if (UpgradeStage >= 2) BlinkUpgradeMessages();
}

void TFormMain::BlinkUpgradeMessages() {
    // Steps of 25 on two colour components at a time, in the Windows order.
    static constexpr uint32_t kRisingStep[3] = {6425, 1638425, 1644800};
    static constexpr uint32_t kFallingStep[3] = {1638425, 1644800, 6425};

    ++Upgrade.BlinkTick;
    if (Upgrade.BlinkTick >= 20) {
        Upgrade.BlinkTick = 1;
        Upgrade.BlinkRising = Upgrade.BlinkRising ? 0 : 1;
        if (Upgrade.BlinkRising == 1) {
            ++Upgrade.BlinkChannel;
            if (Upgrade.BlinkChannel >= 3) Upgrade.BlinkChannel = 0;
        }
    }
    if (Upgrade.BlinkTick % 2 == 0) {
        if (Upgrade.BlinkRising)
            Upgrade.BlinkColour += kRisingStep[Upgrade.BlinkChannel];
        else
            Upgrade.BlinkColour -= kFallingStep[Upgrade.BlinkChannel];
    }
    StaticTextFrmUpgMessage1.setCaption("Upgrade in process!");
    StaticTextFrmUpgMessage2.setCaption("Please wait a moment.");
    StaticTextFrmUpgMessage1.setFontColour(Upgrade.BlinkColour);
    StaticTextFrmUpgMessage2.setFontColour(Upgrade.BlinkColour);
}

}  // namespace app
