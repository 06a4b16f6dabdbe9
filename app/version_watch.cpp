// After "Finish!": the transponder restarts from its new firmware, and the
// wizard asks it, as soon as it answers again, which version it runs.
#include <algorithm>

#include "app/Mainform.h"
#include "package/version_text.h"
#include "serial/port_discovery.h"

namespace app {

namespace {

// Ticks of 2 s in 10 minutes.
constexpr int kWatchTicks = 300;

}  // namespace

void TFormMain::startVersionWatch() {
    watching_ = true;
    watchTicks_ = 0;
    watchPort_ = DevicePortNumber;
    arrivedPorts_.clear();
    lastLookSeen_.clear();
    look_.reset();
    TimerVersionWatch.setEnabled(true);
    services_.log.line("watching for the transponder's return" +
                       (watchPort_ != 0 ? " on " + serial::ComName(watchPort_) : std::string()) +
                       " and on the ports Windows announces, for 10 minutes");
}

void TFormMain::stopVersionWatch(const std::string& why) {
    if (!watching_) return;
    watching_ = false;
    TimerVersionWatch.setEnabled(false);
    look_.reset();  // a look in hand ends unread
    services_.log.line("the watch ends: " + why);
}

void TFormMain::portArrived(int port) {
    if (!watching_) return;
    services_.log.line("Windows announces " + serial::ComName(port));
    if (std::find(arrivedPorts_.begin(), arrivedPorts_.end(), port) == arrivedPorts_.end())
        arrivedPorts_.push_back(port);
}

void TFormMain::TimerVersionWatchTimer() {
    if (!watching_) return;
    if (look_) {
        if (!portWorker_->idle()) return;  // the look goes on
        const std::shared_ptr<serial::DeviceLook> look = std::move(look_);
        // Each look is logged; one that saw what the one before saw, in a
        // word, so that a port gone for minutes does not fill the log.
        const std::string number = "look " + std::to_string(watchTicks_) + ": ";
        if (look->seen == lastLookSeen_)
            services_.log.line(number + "as the look before");
        else
            for (const std::string& line : look->seen) services_.log.line(number + line);
        lastLookSeen_ = look->seen;
        if (look->port != 0 && look->version) {
            showRunningVersion(*look->version);
            stopVersionWatch("the transponder answered");
            return;
        }
    }
    if (++watchTicks_ > kWatchTicks) {
        stopVersionWatch("no answer within 10 minutes");
        return;
    }
    std::vector<int> arrived;
    arrived.swap(arrivedPorts_);
    if (watchPort_ == 0 && arrived.empty()) return;  // nothing to ask yet
    auto look = std::make_shared<serial::DeviceLook>();
    const int known = watchPort_;
    serial::SerialPortSystem& ports = services_.ports;
    if (portWorker_->post([look, &ports, known, arrived] { *look = serial::LookForDevice(ports, known, arrived); }))
        look_ = look;
}

void TFormMain::showRunningVersion(const std::string& version) {
    if (package::SameVersion(version, NewFirmwareVersion)) {
        services_.log.line("verdict: the transponder runs the new firmware, version \"" + version + "\"");
        StaticTextFrmUpgMessage2.setFontColour(LabelFrmVerNew3.font().colour);
        StaticTextFrmUpgMessage2.setCaption(kRunningVersionText + version + ".");
    } else if (package::SameVersion(version, versionBefore_)) {
        services_.log.line("verdict: the transponder still runs version \"" + version +
                           "\": the new firmware did not take");
        StaticTextFrmUpgMessage1.setFontColour(kRed);
        StaticTextFrmUpgMessage1.setCaption(kStillVersionText + version + "!");
        StaticTextFrmUpgMessage2.setFontColour(kColourWindowText);
        StaticTextFrmUpgMessage2.setCaption(kRunAgainText);
    } else {
        services_.log.line("verdict: the transponder runs version \"" + version + "\", neither the image's \"" +
                           NewFirmwareVersion + "\" nor the one before");
        StaticTextFrmUpgMessage2.setFontColour(kColourWindowText);
        StaticTextFrmUpgMessage2.setCaption(kRunningVersionText + version + ".");
    }
}

}  // namespace app
