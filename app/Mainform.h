// The main window: its components, its fields, the start-up sequence, the
// close confirmation and the upgrade stage machine.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/component.h"
#include "app/image_check_worker.h"
#include "app/layout.h"
#include "app/platform.h"
#include "app/version_watch.h"
#include "base/clock.h"
#include "base/log.h"
#include "bootdrive/Copyfilethread.h"
#include "bootdrive/drive_system.h"
#include "hostprep/host_preparation.h"
#include "package/image_files.h"
#include "serial/device_detection.h"
#include "serial/port_worker.h"
#include "serial/serial_port_system.h"

namespace app {

// Everything the window needs from outside, passed in so that tests can
// hand it fakes.
struct Services {
    Dialogs& dialogs;
    Desktop& desktop;
    hostprep::HostPreparation& hostPreparation;
    serial::SerialPortSystem& ports;
    bootdrive::DriveSystem& drives;
    bootdrive::FileCopier& copier;
    // The log for support: what the wizard saw and did, run by run.
    base::Log& log;
    // The firmware image's files, only ever read (also on the check's
    // thread): they live as long as the process.
    package::ImageFiles& files;
    // Starts the copy worker's thread.
    bootdrive::WorkerLauncher launchWorker = bootdrive::LaunchDetachedThread;
    // What the bounds of the waits and the version watch count in.
    base::Clock clock = base::SteadyNow;
};

// Process-wide values of the wizard.
extern std::string ProgramFolder;

// Stage machine variables; they live for the whole run.
struct UpgradeVariables {
    uint8_t WaitingForBootDrive = 0;
    uint8_t BootCommandPending = 1;
    uint8_t BootDriveWaitTicks = 0;
    uint8_t CopyInProgress = 0;
    uint32_t StallTicks = 0;
    uint32_t SettleTicks = 0;  // ticks that saw the copy settling
    int32_t LastProgressPercent = 0;
    int32_t ShownProgressPercent = -1;
    int32_t BlinkTick = 0;
    uint32_t BlinkColour = 16711680;  // #0000FF in the Windows order
    uint8_t BlinkChannel = 0;
    uint8_t BlinkRising = 1;
};
extern UpgradeVariables Upgrade;

class TFormMain : private serial::DetectionDisplay, private SystemEvents {
public:
    // Builds the window from the layout and runs the start-up sequence.
    // `terminated()` tells afterwards whether start-up ended the program.
    explicit TFormMain(Services& services);
    ~TFormMain() override;
    TFormMain(const TFormMain&) = delete;
    TFormMain& operator=(const TFormMain&) = delete;

    Layout& layout() { return layout_; }
    bool terminated() const { return terminated_; }
    // How the control timer reads CopyProgressPercent: one relaxed load by
    // default; tests watch or steer the reads through it.
    void setCopyProgressReader(std::function<int32_t()> read) { readCopyProgress_ = std::move(read); }

    // Event handlers, bound to their components by the constructor.
    void FormCreate();
    // The window is on screen: the copy worker starts, the window hears of
    // new ports, and the image's content is checked meanwhile.
    void FormShow();
    // Asks "Are you sure to exit?"; true when the window is to be freed.
    bool FormClose();
    void SpeedButtonExitClick();
    void SpeedButtonStartClick();
    void SpeedButtonFrmVerWantToContinueYesClick();
    void SpeedButtonFrmVerWantToContinueNoClick();
    void SpeedButtonFrmUpgFinishClick();
    void ImageLogoClick();
    void TimerBlinkingTextTimer();
    void TimerCopyFileProgressCTLTimer();
    // Every 2 s while the finished page shows, for up to 10 minutes: the
    // version watch's tick, and its verdict shown.
    void TimerVersionWatchTimer();
    // While the image's check runs: its verdict, once it is in.
    void TimerImageCheckTimer();

    // Operations of the stage machine.
    void SetUpgradeStage(int32_t stage);
    void ShowUpgradeStage();
    void ResetStageDisplay();
    void ShowProgress(int32_t percent);
    void ContinueUpgrade();
    void BlinkUpgradeMessages();
    void InitStageTexts();
    bool LoadFirmwareCatalogue();
    void DetectDeviceVersion();
    // False when the worker is still busy with an earlier copy: then no
    // copy starts.
    bool StartFirmwareCopy();

    // Fields of the window.
    serial::PortLists Ports;
    int32_t UpgradeStage = 0;
    uint8_t DeviceIdentified = 0;
    char NewFirmwareVersion[80] = {};
    int DevicePortNumber = 0;
    std::unique_ptr<bootdrive::CopyFileThread> CopyWorker;
    uint8_t BootDriveLetter = 0;

private:
    // The detection's view of the window.
    void showProgress(int32_t percent) override;
    void showDeviceVersion(const std::string& version) override;
    void answerSystem() override;
    void report(const std::string& line) override;
    bool searchGoesOn() override { return !leaveAfterSearch_; }
    void bindHandlers();
    void showError(const std::string& text);
    // The box of an image that cannot be copied, and the log's line.
    void showImageTrouble(const package::ImageTrouble& trouble);
    // Start touches no port before the image's check has its verdict: it
    // waits for it, the window working as on a busy page (an exit
    // meanwhile ends the wait). False when the image cannot be copied.
    bool imageCheckPasses();
    // The check's verdict, acted on once: a damaged image says so and
    // leaves Start disabled. True when the image may be copied.
    bool settleImageCheck();
    // Ends an attempt whose copy failed or stood still: the start page,
    // then the failure box (with the reason when the copy failed).
    void endFailedCopy(const std::optional<bootdrive::CopyFileThread::CopyRecord>& failed);
    // Logs how long the copy settled, where it did.
    void logSettled(const bootdrive::CopyFileThread::CopyRecord& copy);
    // Ends a failed attempt: the control timer stops, the start page shows,
    // then `box`.
    void endFailedAttempt(const std::string& box);
    // From Yes until the attempt ends: Windows is asked to keep the session
    // and the PC awake, and AutoPlay is held off.
    void setUpgradeUnderWay(bool underWay);
    // Stops the copy under way before the program ends, so that its cut
    // file goes with it; `why` begins the log's line.
    void stopCopyBeforeLeaving(const std::string& why);
    // SystemEvents
    bool sessionMayEnd() override;
    void sessionEnds() override;
    bool cancelAutoPlay() override;
    void powerChanged(bool suspending) override;
    void portArrived(int port) override;
    void drivesRemoved(uint32_t letters) override;
    // The watch for the transponder's return after "Finish!".
    void startVersionWatch();
    void stopVersionWatch(const std::string& why);
    // The watch has ended: its timer stops, and the PC may sleep again.
    void watchEnded();
    // What the watch found, on the finished page's two message lines.
    void showVerdict(const WatchNews& news);

    // Lets the desktop's window go before the layout it shows goes: also
    // when the construction fails after the window was made.
    struct WindowRelease {
        Desktop& desktop;
        ~WindowRelease() { desktop.releaseWindow(); }
    };

    Services& services_;
    Layout layout_;
    WindowRelease windowRelease_{services_.desktop};
    bool terminated_ = false;
    std::function<int32_t()> readCopyProgress_;
    bool startRunning_ = false;  // SpeedButtonStartClick is under way
    bool upgradeUnderWay_ = false;  // from Yes until the attempt ends
    bool leaveAfterSearch_ = false;  // OK to the exit question during the search
    bool leaving_ = false;           // OK to the exit question, whenever it came
    base::TimePoint leaveBy_{};      // when a port call in hand is given up then
    // The serial ports, each exchange made on a port worker while the
    // window goes on answering.
    std::unique_ptr<serial::OffThreadPorts> ports_;
    // What the transponder ran before the upgrade, to tell after its
    // restart; empty when it was found in its boot loader.
    std::string versionBefore_;
    VersionWatch watch_;
    long long imageBytes_ = -1;  // the firmware image's size, for the log
    ImageCheckWorker imageCheck_;
    bool imageCheckSettled_ = false;

public:
    // Components, under their layout names.
    Component& FormMain;
    Component& ImageLogo;
    Component& StaticTextTitle;
    Component& StaticTextStartTitle;
    Component& LabelZEMOWeb;
    Component& lblUpgradeStatus;
    Component& LabelProgressPersent;
    Component& ProgressBar2;
    Component& PageControlFirmwareUpgradeStage;
    Component& TabSheetStart;
    Component& TabSheetFirmwareVersion;
    Component& TabSheetFirmwareUpgrade;
    Component& SpeedButtonStart;
    Component& SpeedButtonExit1;
    Component& LabelFrmVerOriginal1;
    Component& LabelFrmVerOriginal3;
    Component& LabelFrmVerNew1;
    Component& LabelFrmVerNew3;
    Component& SpeedButtonFrmVerWantToContinueYes;
    Component& SpeedButtonFrmVerWantToContinueNo;
    Component& StaticTextFrmUpgMessage1;
    Component& StaticTextFrmUpgMessage2;
    Component& SpeedButtonFrmUpgFinish;
    Component& TimerBlinkingText;
    Component& TimerCopyFileProgressCTL;
    Component& TimerVersionWatch;
    Component& TimerImageCheck;
    Component& ImageList1;
};

// Texts of the wizard's messages.
inline constexpr const char* kExitQuestion = "Are you sure to exit?";
inline constexpr const char* kExitCaption = "Exit!";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kNoDeviceMessage = "Please confirm your device connection and power!";
inline constexpr const char* kNotReadyMessage = "Devicie update is not ready! Please run again.";
inline constexpr const char* kStalledMessage =
    "Firmware update failded.\nPlease reboot your Computer and your Class B Device.\nRun the program again.";
inline constexpr const char* kNoFirmwareMessage = "No firmware is found or incorrect firmware!";
inline constexpr const char* kFolderOutsideCodePageMessage =
    "This program cannot run from the folder it is in, because the folder's name (or the name of a folder "
    "above it) holds letters that this Windows cannot pass to the program.\n\n"
    "Unpack the zip into a folder with a plain name, such as C:\\Firmware, and start FirmwareUpgrade.exe from there.";
inline constexpr const char* kVersionNotDetected = "Firmware version is not detected!";
// The status line while Start waits for the check of the image (UTF-8).
inline constexpr const char* kCheckingImageStatus = "Checking the firmware image\u2026";
inline constexpr const char* kBootModeVersion = "VUR-IrodEdez";
// How long an exit during the copy waits for the copy to stop.
inline constexpr std::chrono::milliseconds kCopyStopLimit{10000};
// How long a confirmed exit waits for a port call in hand.
inline constexpr std::chrono::milliseconds kLeavePortLimit{1000};
// How long Start waits for a look of the version watch still in hand.
inline constexpr std::chrono::milliseconds kLookSettleLimit{3000};

}  // namespace app
