#include "app/version_watch.h"

#include <algorithm>
#include <atomic>

#include "bootdrive/boot_drive.h"
#include "package/version_text.h"
#include "serial/device_look.h"
#include "serial/port_discovery.h"

namespace app {

struct VersionWatch::Look {
    int number = 0;
    base::TimePoint postedAt{};
    serial::DeviceLook device;
    std::optional<bootdrive::DriveReturnLook> drive;  // none without a drive to watch
    std::atomic<bool> done{false};
};

VersionWatch::VersionWatch(serial::SerialPortSystem& ports, bootdrive::DriveSystem& drives, base::Log& log,
                           base::Clock clock)
    : ports_(ports), drives_(drives), log_(log), clock_(std::move(clock)) {}

void VersionWatch::start(const Setup& setup, serial::JobRunner& runner) {
    setup_ = setup;
    runner_ = &runner;
    running_ = true;
    startedAt_ = clock_();
    announced_.clear();
    held_.clear();
    driveGoneAt_.reset();
    silenceTold_ = false;
    looks_ = 0;
    look_.reset();
    lastSeen_.clear();
    log_.line("watching for the transponder's return" +
              (setup.knownPort != 0 ? " on " + serial::ComName(setup.knownPort) : std::string()) +
              " and on the ports Windows announces" +
              (setup.driveLetter != 0 ? ", and its drive " + std::string(1, setup.driveLetter) + ":" : std::string()) +
              ", for 10 minutes");
}

void VersionWatch::stop(const std::string& why) {
    if (!running_) return;
    running_ = false;
    look_.reset();  // a look in hand ends unread
    log_.line("the watch ends: " + why);
}

void VersionWatch::portArrived(int port) {
    if (!running_) return;
    log_.line("Windows announces " + serial::ComName(port));
    if (std::find(announced_.begin(), announced_.end(), port) == announced_.end()) announced_.push_back(port);
}

void VersionWatch::drivesRemoved(uint32_t letters) {
    if (!running_ || setup_.driveLetter == 0 || (letters >> (setup_.driveLetter - 'A') & 1u) == 0) return;
    noteDriveGone(clock_(), "Windows says it was removed");
}

void VersionWatch::noteDriveGone(base::TimePoint when, const std::string& how) {
    if (driveGoneAt_) return;
    driveGoneAt_ = when;
    log_.line("the drive " + std::string(1, setup_.driveLetter) + ": has gone (" + how +
              "): the transponder restarts");
}

std::optional<WatchNews> VersionWatch::tick() {
    if (!running_) return std::nullopt;
    const base::TimePoint now = clock_();
    std::optional<WatchNews> news;
    const bool inHand = look_ && !look_->done.load(std::memory_order_acquire);
    if (look_ && !inHand) {
        const std::shared_ptr<Look> look = std::move(look_);
        news = read(*look);
        if (!running_) return news;
    }
    if (now - startedAt_ >= kWatchLength) {
        stop(inHand ? "no answer within 10 minutes; a look was still in hand" : "no answer within 10 minutes");
        return news;
    }
    // Also while a look hangs on a port whose driver stalls.
    if (!news && driveGoneAt_ && !silenceTold_ && now - *driveGoneAt_ >= kSilenceLimit) {
        silenceTold_ = true;
        log_.line("verdict: the transponder has not answered, nor shown its boot drive, in the 2 minutes since its "
                  "drive went");
        news = WatchNews{WatchVerdict::Silent, ""};
    }
    if (!inHand) post();
    return news;
}

void VersionWatch::post() {
    std::vector<int> announced;
    for (int port : announced_)
        if (held_.count(port) == 0) announced.push_back(port);
    const int known = held_.count(setup_.knownPort) != 0 ? 0 : setup_.knownPort;
    const char letter = setup_.driveLetter;
    if (known == 0 && announced.empty() && letter == 0) return;  // nothing to look at yet
    auto look = std::make_shared<Look>();
    look->number = looks_ + 1;
    look->postedAt = clock_();
    serial::SerialPortSystem* ports = &ports_;
    bootdrive::DriveSystem* drives = &drives_;
    if (!runner_->post([look, ports, drives, known, announced, letter] {
            look->device = serial::LookForDevice(*ports, known, announced);
            // The drives only while the transponder has not answered.
            if (letter != 0 && look->device.port == 0) look->drive = bootdrive::LookAtDrivesAfterCopy(*drives, letter);
            look->done.store(true, std::memory_order_release);
        }))
        return;  // the worker is still busy with something else: next tick
    ++looks_;
    look_ = look;
}

std::optional<WatchNews> VersionWatch::read(const Look& look) {
    // Each look is logged; one that saw what the one before saw, in a word,
    // so that a port gone for minutes does not fill the log.
    std::vector<std::string> seen = look.device.seen;
    if (look.drive) seen.push_back("drive " + look.drive->seen);
    const std::string number = "look " + std::to_string(look.number) + ": ";
    if (seen == lastSeen_)
        log_.line(number + "as the look before");
    else
        for (const std::string& line : seen) log_.line(number + line);
    lastSeen_ = std::move(seen);

    for (int port : look.device.held)
        if (held_.insert(port).second)
            log_.line(serial::ComName(port) + " is held by another program: not asked again during this watch");

    if (look.device.port != 0 && look.device.version) {
        const std::string& version = *look.device.version;
        WatchNews news{WatchVerdict::OtherVersion, version};
        if (package::SameVersion(version, setup_.newVersion)) {
            news.verdict = WatchVerdict::NewVersion;
            log_.line("verdict: the transponder runs the new firmware, version \"" + version + "\"");
        } else if (package::SameVersion(version, setup_.versionBefore)) {
            news.verdict = WatchVerdict::OldVersion;
            log_.line("verdict: the transponder still runs version \"" + version + "\": the new firmware did not take");
        } else {
            log_.line("verdict: the transponder runs version \"" + version + "\", neither the image's \"" +
                      setup_.newVersion + "\" nor the one before");
        }
        stop("the transponder answered");
        return news;
    }
    if (!look.drive) return std::nullopt;
    if (!look.drive->driveThere) noteDriveGone(look.postedAt, "its root can no longer be opened");
    // A boot drive that never went is the one the image was copied onto:
    // the user has not restarted the transponder yet.
    if (driveGoneAt_ && look.drive->readyDrive >= 0) {
        log_.line("verdict: the transponder is back in its boot loader, its drive " +
                  std::string(1, static_cast<char>(look.drive->readyDrive)) +
                  ": ready for an image again: the new firmware did not take");
        stop("the transponder is in its boot loader");
        return WatchNews{WatchVerdict::BootMode, ""};
    }
    return std::nullopt;
}

}  // namespace app
