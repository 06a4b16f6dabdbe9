// The finished page after "Finish!": the version watch runs while it
// shows, and its two message lines tell what became of the upgrade.
#include "app/Mainform.h"
#include "bootdrive/boot_drive.h"
#include "serial/port_discovery.h"

namespace app {

void TFormMain::startVersionWatch() {
    VersionWatch::Setup setup;
    setup.knownPort = DevicePortNumber;
    setup.driveLetter = BootDriveLetter != bootdrive::kNoBootDrive ? static_cast<char>(BootDriveLetter) : 0;
    setup.versionBefore = versionBefore_;
    setup.newVersion = NewFirmwareVersion;
    if (imageBytes_ >= 0) setup.imageBytes = static_cast<uint64_t>(imageBytes_);
    watch_.start(setup, ports_->worker(), [this](int port) { return ports_->stillInGivenUpCall(port); });
    TimerVersionWatch.setEnabled(true);
    // Asleep, the PC could neither see the transponder come back nor tell
    // silence from sleep.
    services_.desktop.keepAwake(true);
}

void TFormMain::stopVersionWatch(const std::string& why) {
    watch_.stop(why);
    watchEnded();
}

void TFormMain::watchEnded() {
    if (!TimerVersionWatch.enabled()) return;
    TimerVersionWatch.setEnabled(false);
    services_.desktop.keepAwake(false);
}

void TFormMain::TimerVersionWatchTimer() {
    if (const auto news = watch_.tick()) showVerdict(*news);
    if (!watch_.running()) watchEnded();
}

void TFormMain::showVerdict(const WatchNews& news) {
    switch (news.verdict) {
        case WatchVerdict::NewVersion:
        case WatchVerdict::OtherVersion:
            // The image's version in the green of the version page.
            StaticTextFrmUpgMessage1.setCaption("");
            StaticTextFrmUpgMessage2.setFontColour(news.verdict == WatchVerdict::NewVersion
                                                       ? LabelFrmVerNew3.font().colour
                                                       : kColourWindowText);
            StaticTextFrmUpgMessage2.setCaption(kRunningVersionText + news.version + ".");
            break;
        case WatchVerdict::OldVersion:
        case WatchVerdict::BootMode:
            StaticTextFrmUpgMessage1.setFontColour(kRed);
            StaticTextFrmUpgMessage1.setCaption(news.verdict == WatchVerdict::OldVersion
                                                    ? kStillVersionText + news.version + "!"
                                                    : std::string(kBootModeAgainText));
            StaticTextFrmUpgMessage2.setFontColour(kColourWindowText);
            StaticTextFrmUpgMessage2.setCaption(kRunAgainText);
            break;
        case WatchVerdict::Silent:
        case WatchVerdict::Held:
        case WatchVerdict::NotRestarted:
            StaticTextFrmUpgMessage2.setFontColour(kColourWindowText);
            StaticTextFrmUpgMessage2.setCaption(news.verdict == WatchVerdict::Silent ? std::string(kSilentText)
                                                : news.verdict == WatchVerdict::Held
                                                    ? serial::ComName(news.port) + kHeldPortText
                                                    : std::string(kRebootText));
            break;
    }
}

}  // namespace app
