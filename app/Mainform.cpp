#include "app/Mainform.h"

#include <cstring>

#include "app/failure_messages.h"
#include "bootdrive/volume_gone.h"
#include "package/catalogue.h"

namespace app {

std::string ProgramFolder;
UpgradeVariables Upgrade;

namespace {

// Windows 8 and Windows Server 2012 report 6.2; every later system reports
// that or more.
bool needsIndexingPolicy(const OsVersion& v) {
    return v.major > 6 || (v.major == 6 && v.minor >= 2);
}

std::string folderOf(const std::string& path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string PolicyOutcome(int result) {
    const std::string policy = "indexing policy of removable drives: ";
    if (result == hostprep::kPolicyInForce) return policy + "in force";
    if (result == hostprep::kPolicyJustWritten) return policy + "set now; the resume entry and the restart follow";
    return policy + "not set (declined, or it cannot be written); the program ends";
}

}  // namespace

TFormMain::TFormMain(Services& services)
    : services_(services),
      watch_(services.drives, services.log, services.clock),
      FormMain(layout_.root()),
      ImageLogo(layout_.get("ImageLogo")),
      StaticTextTitle(layout_.get("StaticTextTitle")),
      StaticTextStartTitle(layout_.get("StaticTextStartTitle")),
      LabelZEMOWeb(layout_.get("LabelZEMOWeb")),
      lblUpgradeStatus(layout_.get("lblUpgradeStatus")),
      LabelProgressPersent(layout_.get("LabelProgressPersent")),
      ProgressBar2(layout_.get("ProgressBar2")),
      PageControlFirmwareUpgradeStage(layout_.get("PageControlFirmwareUpgradeStage")),
      TabSheetStart(layout_.get("TabSheetStart")),
      TabSheetFirmwareVersion(layout_.get("TabSheetFirmwareVersion")),
      TabSheetFirmwareUpgrade(layout_.get("TabSheetFirmwareUpgrade")),
      SpeedButtonStart(layout_.get("SpeedButtonStart")),
      SpeedButtonExit1(layout_.get("SpeedButtonExit1")),
      LabelFrmVerOriginal1(layout_.get("LabelFrmVerOriginal1")),
      LabelFrmVerOriginal3(layout_.get("LabelFrmVerOriginal3")),
      LabelFrmVerNew1(layout_.get("LabelFrmVerNew1")),
      LabelFrmVerNew3(layout_.get("LabelFrmVerNew3")),
      SpeedButtonFrmVerWantToContinueYes(layout_.get("SpeedButtonFrmVerWantToContinueYes")),
      SpeedButtonFrmVerWantToContinueNo(layout_.get("SpeedButtonFrmVerWantToContinueNo")),
      StaticTextFrmUpgMessage1(layout_.get("StaticTextFrmUpgMessage1")),
      StaticTextFrmUpgMessage2(layout_.get("StaticTextFrmUpgMessage2")),
      SpeedButtonFrmUpgFinish(layout_.get("SpeedButtonFrmUpgFinish")),
      TimerBlinkingText(layout_.get("TimerBlinkingText")),
      TimerCopyFileProgressCTL(layout_.get("TimerCopyFileProgressCTL")),
      TimerVersionWatch(layout_.get("TimerVersionWatch")),
      TimerImageCheck(layout_.get("TimerImageCheck")),
      ImageList1(layout_.get("ImageList1")) {
    readCopyProgress_ = [] { return bootdrive::CopyProgressPercent.load(std::memory_order_relaxed); };
    // 1. The base construction: the window from the layout, then the
    //    creation event.
    bindHandlers();
    services_.desktop.createWindow(layout_);
    services_.desktop.setSystemEvents(this);
    FormCreate();

    // 2.-5. Captions and the logo.
    FormMain.setCaption(kWindowCaption);
    ImageLogo.setPicture(Picture::Logo);
    StaticTextTitle.setCaption("Welcome to ZEMO ZOD Ezodi R Iravevod Idavedi");
    StaticTextStartTitle.setCaption(
        "Please check below items before starting ZEMO ZOD Ezodi R Iravevod Idavedi:");
    LabelZEMOWeb.setCaption(kMakerWebAddress);

    // 6.-7.
    InitStageTexts();
    SetUpgradeStage(0);

    // 8. The firmware files are found beside the program only.
    ProgramFolder = folderOf(services_.desktop.programPath());

    const auto endStartUp = [this] {
        SpeedButtonStart.setEnabled(false);
        terminated_ = true;
        services_.desktop.terminate();
    };
    // From a folder whose name the code page cannot hold, the program could
    // open none of its files, and a resume entry would start nothing after
    // a restart: say how to mend it before anything is asked or written.
    if (!services_.desktop.programPathFitsCodePage()) {
        services_.log.line("the program's folder has letters outside the code page; the program ends");
        services_.dialogs.messageBox(kFolderOutsideCodePageMessage, kApplicationTitle, kMbOk | kMbIconWarning);
        endStartUp();
        return;
    }

    // 9.-10. Windows version gate.
    const OsVersion os = services_.desktop.osVersion();
    if (needsIndexingPolicy(os)) {
        const int r = services_.hostPreparation.CheckIndexingPolicy();
        services_.log.line(PolicyOutcome(r));
        if (r == hostprep::kPolicyJustWritten) {
            services_.log.startWriting();  // no window comes: Windows restarts
            services_.hostPreparation.WriteResumeEntry();
            services_.hostPreparation.RestartWindows();
        }
        if (r == hostprep::kPolicyJustWritten || r == hostprep::kPolicyStop) {
            endStartUp();
            return;
        }
    } else {
        services_.log.line("Windows " + std::to_string(os.major) + "." + std::to_string(os.minor) +
                           ": no indexing policy needed");
    }

    // 11.-12.
    SpeedButtonStart.setEnabled(true);
    if (LoadFirmwareCatalogue()) {
        LabelFrmVerNew1.setCaption(NewFirmwareVersion);
        LabelFrmVerNew3.setCaption(NewFirmwareVersion);
    } else {
        SpeedButtonStart.setEnabled(false);
    }
}

TFormMain::~TFormMain() {
    if (upgradeUnderWay_) services_.desktop.holdSession(false);
    if (TimerVersionWatch.enabled()) services_.desktop.keepAwake(false);
    services_.desktop.setSystemEvents(nullptr);
}

void TFormMain::bindHandlers() {
    layout_.get("SpeedButtonStart").onClick = [this] { SpeedButtonStartClick(); };
    layout_.get("SpeedButtonExit1").onClick = [this] { SpeedButtonExitClick(); };
    layout_.get("SpeedButtonFrmVerWantToContinueYes").onClick = [this] { SpeedButtonFrmVerWantToContinueYesClick(); };
    layout_.get("SpeedButtonFrmVerWantToContinueNo").onClick = [this] { SpeedButtonFrmVerWantToContinueNoClick(); };
    layout_.get("SpeedButtonFrmUpgFinish").onClick = [this] { SpeedButtonFrmUpgFinishClick(); };
    layout_.get("ImageLogo").onClick = [this] { ImageLogoClick(); };
    layout_.get("LabelZEMOWeb").onClick = [this] { ImageLogoClick(); };
    layout_.get("TimerBlinkingText").onClick = [this] { TimerBlinkingTextTimer(); };
    layout_.get("TimerCopyFileProgressCTL").onClick = [this] { TimerCopyFileProgressCTLTimer(); };
    layout_.get("TimerVersionWatch").onClick = [this] { TimerVersionWatchTimer(); };
    layout_.get("TimerImageCheck").onClick = [this] { TimerImageCheckTimer(); };
}

void TFormMain::FormCreate() {
    ports_ = std::make_unique<serial::OffThreadPorts>(
        services_.ports, [this](const std::function<bool()>& done) { services_.desktop.waitServing(done); },
        services_.clock,
        // Once the user has chosen to leave, a port call in hand is given up
        // after a second.
        [this] { return leaving_ && services_.clock() >= leaveBy_; });
}

bool TFormMain::FormClose() {
    // From Yes until the attempt ends (the boot command, the wait for the
    // boot drive, the copy), Enter must not leave the transponder in its
    // boot loader or cut the copy: Cancel is then the default answer.
    const unsigned defaultButton = upgradeUnderWay_ ? kMbDefButton2 : 0;
    const bool leave = services_.dialogs.messageBox(kExitQuestion, kExitCaption,
                                                    kMbOkCancel | kMbIconWarning | defaultButton) == kIdOk;
    if (leave && !leaving_) {
        // A port call in hand (the search's, the boot command's) gets a
        // second to close its port; one whose driver hangs is left to the
        // end of the process.
        leaving_ = true;
        leaveBy_ = services_.clock() + kLeavePortLimit;
    }
    if (leave && startRunning_) {
        // The search ends at once, its ports still being asked left to
        // their workers, and the program ends; a port call made on the
        // window's behalf (the list of ports) gets its second first.
        leaveAfterSearch_ = true;
        services_.log.line("exit during the search: the program ends, the ports still being asked left");
        return false;
    }
    if (leave && Upgrade.CopyInProgress) stopCopyBeforeLeaving("exit during the copy");
    return leave;
}

void TFormMain::stopCopyBeforeLeaving(const std::string& why) {
    // Leaving in the middle of the copy: the copy stops and takes its cut
    // file away first, so that the boot loader never finds half an image.
    // A copy that does not end within the bound is left to the end of the
    // process. The window keeps answering meanwhile, so that Windows does
    // not offer to end the program as hung, which would cut the copy.
    if (!CopyWorker) return;  // the window never came up: nothing was copied
    CopyWorker->RequestStop();
    const bool ended = services_.desktop.waitAnswering([this] { return CopyWorker->IsWaiting(); }, kCopyStopLimit);
    const auto last = CopyWorker->lastCopy();
    if (!ended || !last)
        services_.log.line(why + ": the copy did not stop within 10 s");
    else if (last->result.error == 0)
        services_.log.line(why + ": the copy had ended well");
    else
        services_.log.line(why + ": the copy stopped" +
                           (last->result.cutTargetRemoved ? ", its cut file deleted" : ""));
}

void TFormMain::setUpgradeUnderWay(bool underWay) {
    if (underWay == upgradeUnderWay_) return;
    upgradeUnderWay_ = underWay;
    services_.desktop.holdSession(underWay);
}

bool TFormMain::sessionMayEnd() {
    services_.log.line(upgradeUnderWay_ ? "Windows asks to end the session: refused, an upgrade is under way"
                                        : "Windows asks to end the session: let through");
    return !upgradeUnderWay_;
}

void TFormMain::sessionEnds() {
    services_.log.line("Windows ends the session");
    if (Upgrade.CopyInProgress) stopCopyBeforeLeaving("the session ends during the copy");
}

bool TFormMain::cancelAutoPlay() {
    if (upgradeUnderWay_) services_.log.line("AutoPlay for a new drive held off");
    return upgradeUnderWay_;
}

void TFormMain::portArrived(int port) { watch_.portArrived(port); }

void TFormMain::drivesRemoved(uint32_t letters) {
    // The copy's end rests on it too: a drive Windows removed has gone.
    bootdrive::NoteVolumesRemoved(letters);
    watch_.drivesRemoved(letters);
}

void TFormMain::powerChanged(bool suspending) {
    services_.log.line(suspending ? "Windows goes to sleep" : "Windows has woken up");
    if (!suspending) watch_.resumed();
}

void TFormMain::SpeedButtonExitClick() { services_.desktop.closeWindow(); }

void TFormMain::InitStageTexts() {
    TabSheetStart.setTabVisible(false);
    TabSheetFirmwareVersion.setTabVisible(false);
    TabSheetFirmwareUpgrade.setTabVisible(false);
    PageControlFirmwareUpgradeStage.setActivePage(&TabSheetStart);
    lblUpgradeStatus.setCaption("");
    LabelFrmVerNew1.setCaption("");
    LabelFrmVerNew3.setCaption("");
}

void TFormMain::showError(const std::string& text) {
    services_.dialogs.messageBox(text, kErrorCaption, kMbOk | kMbIconError);
}

bool TFormMain::LoadFirmwareCatalogue() {
    const package::ImageOpen image =
        package::OpenFirmwareImage(services_.files, ProgramFolder, bootdrive::FirmwareImagePath);
    if (!image.opened()) {
        showImageTrouble(*image.trouble);
        return false;
    }
    imageBytes_ = image.size;
    const bool found = package::ReadCatalogueVersion(ProgramFolder, NewFirmwareVersion, package::kImageName);
    services_.log.line("firmware image " + std::string(bootdrive::FirmwareImagePath) + ", " +
                       std::to_string(imageBytes_) + " bytes; catalogue version " +
                       (found ? "\"" + std::string(NewFirmwareVersion) + "\""
                              : NewFirmwareVersion[0] != '\0' ? "not found: no record of the image"
                                                              : "not found: the catalogue cannot be opened"));
    if (!found) lblUpgradeStatus.setCaption(kVersionNotDetected);
    return true;
}

void TFormMain::showImageTrouble(const package::ImageTrouble& trouble) {
    using Kind = package::ImageTrouble::Kind;
    const std::string what = trouble.kind == Kind::Missing       ? "missing; Windows says: " + trouble.reason
                             : trouble.kind == Kind::PathTooLong ? "its path is longer than 255 characters"
                             : trouble.kind == Kind::Unreadable  ? "cannot be read; Windows says: " + trouble.reason
                                                                 : trouble.reason;
    services_.log.line("firmware image " + ProgramFolder + package::kImageName + ": " + what);
    showError(NoFirmwareMessage(trouble, ProgramFolder, services_.desktop.longPathOf(ProgramFolder),
                                services_.desktop.tempFolder()));
}

void TFormMain::FormShow() {
    // What the first page does not need waits until the window has painted
    // itself: the copy worker's thread, and Windows' word of new ports.
    CopyWorker = std::make_unique<bootdrive::CopyFileThread>(services_.copier, services_.launchWorker);
    services_.desktop.registerPortNotifications();
    if (bootdrive::FirmwareImagePath[0] == '\0') return;  // no image: its box has been shown
    imageCheck_.start(services_.files, bootdrive::FirmwareImagePath, services_.launchWorker);
    TimerImageCheck.setEnabled(true);
}

void TFormMain::TimerImageCheckTimer() {
    if (imageCheck_.done()) settleImageCheck();
}

bool TFormMain::imageCheckPasses() {
    if (bootdrive::FirmwareImagePath[0] == '\0') return false;
    imageCheck_.start(services_.files, bootdrive::FirmwareImagePath, services_.launchWorker);
    if (!imageCheck_.done()) {
        // A slow share may take a while: the status line says why nothing
        // seems to happen.
        services_.log.line("Start waits for the check of the firmware image");
        const std::string status = lblUpgradeStatus.caption();
        lblUpgradeStatus.setCaption(kCheckingImageStatus);
        services_.desktop.waitServing([this] { return imageCheck_.done() || leaveAfterSearch_; });
        lblUpgradeStatus.setCaption(status);
    }
    return !imageCheck_.done() || settleImageCheck();
}

bool TFormMain::settleImageCheck() {
    const package::ImageVerdict& verdict = imageCheck_.verdict();
    if (!imageCheckSettled_) {
        imageCheckSettled_ = true;
        TimerImageCheck.setEnabled(false);
        if (verdict.trouble) {
            SpeedButtonStart.setEnabled(false);
            showImageTrouble(*verdict.trouble);
        } else {
            services_.log.line(verdict.checked ? "firmware image checked: every S-record holds"
                                               : "firmware image: no S-records, copied as it is");
        }
    }
    return !verdict.trouble;
}

}  // namespace app
