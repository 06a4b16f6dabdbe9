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

VersionWatch::VersionWatch(bootdrive::DriveSystem& drives, base::Log& log, base::Clock clock)
    : drives_(drives), log_(log), clock_(std::move(clock)) {}

void VersionWatch::start(const Setup& setup, serial::JobRunner& runner, std::function<bool(int)> ownCall) {
    setup_ = setup;
    runner_ = &runner;
    ownCall_ = std::move(ownCall);
    running_ = true;
    startedAt_ = lastTickAt_ = clock_();
    asleep_ = {};
    resumedAt_.reset();
    // Ports announced since the copy began are asked from the first look.
    if (!keeping_) announced_.clear();
    keeping_ = false;
    held_.clear();
    others_.clear();
    driveGoneAt_.reset();
    silentSince_ = {};
    silenceTold_ = false;
    heldTold_ = 0;
    looks_ = 0;
    look_.reset();
    lastSeen_.clear();
    log_.line("watching for the transponder's return" +
              (setup.knownPort != 0 ? " on " + serial::ComName(setup.knownPort) : std::string()) +
              " and on the ports Windows announces" +
              (setup.driveLetter != 0 ? ", and its drive " + std::string(1, setup.driveLetter) + ":" : std::string()) +
              ", for 10 minutes");
    for (int port : announced_) log_.line(serial::ComName(port) + ", announced since the copy began, is asked too");
}

void VersionWatch::stop(const std::string& why) {
    keeping_ = false;  // the attempt is over
    if (!running_) return;
    running_ = false;
    look_.reset();  // a look in hand ends unread
    log_.line("the watch ends: " + why);
}

void VersionWatch::copyStarted() {
    keeping_ = true;
    announced_.clear();
}

void VersionWatch::portArrived(int port) {
    if (!running_ && !keeping_) return;
    log_.line("Windows announces " + serial::ComName(port) + (running_ ? "" : ", kept for the watch after the copy"));
    // A port that comes again is a device that came again: whoever held it
    // or answered on it before may be gone.
    held_.erase(port);
    others_.erase(port);
    if (std::find(announced_.begin(), announced_.end(), port) == announced_.end()) announced_.push_back(port);
}

void VersionWatch::drivesRemoved(uint32_t letters) {
    if (!running_ || setup_.driveLetter == 0 || (letters >> (setup_.driveLetter - 'A') & 1u) == 0) return;
    const base::TimePoint now = clock_();
    if (settlingAfterResume(now)) {
        log_.line("Windows says the drive " + std::string(1, setup_.driveLetter) +
                  ": was removed, as USB comes back after the wake-up: not taken for a restart");
        return;
    }
    noteDriveGone(now, "Windows says it was removed");
}

void VersionWatch::resumed() {
    if (running_) wokeUp(clock_(), "Windows has woken up");
}

void VersionWatch::wokeUp(base::TimePoint now, const std::string& how) {
    asleep_ += now - lastTickAt_;
    lastTickAt_ = now;
    resumedAt_ = now;
    // Also when a look from before the sleep, read after it, finds the
    // drive gone: the sleep is never silence.
    silentSince_ = std::max(silentSince_, now);
    log_.line(how + ": the transponder's silence counts from now, and drives that go in the next 10 s are USB coming "
                    "back");
}

bool VersionWatch::settlingAfterResume(base::TimePoint when) const {
    return resumedAt_ && when >= *resumedAt_ && when <= *resumedAt_ + kResumeSettling;
}

void VersionWatch::noteDriveGone(base::TimePoint when, const std::string& how) {
    if (driveGoneAt_) return;
    driveGoneAt_ = when;
    silentSince_ = std::max(silentSince_, when);
    log_.line("the drive " + std::string(1, setup_.driveLetter) + ": has gone (" + how +
              "): the transponder restarts");
}

std::optional<WatchNews> VersionWatch::tick() {
    if (!running_) return std::nullopt;
    const base::TimePoint now = clock_();
    // A PC that slept without a word from Windows.
    if (const auto gap = now - lastTickAt_; gap > kSleepGap)
        wokeUp(now, "no tick of the watch for " +
                        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(gap).count()) +
                        " s: the PC was asleep");
    std::optional<WatchNews> news;
    const bool inHand = look_ && !look_->done.load(std::memory_order_acquire);
    if (look_ && !inHand) {
        const std::shared_ptr<Look> look = std::move(look_);
        news = read(*look);
        if (!running_) return news;
    }
    if (now - startedAt_ - asleep_ >= kWatchLength) {
        stop(inHand ? "no answer within 10 minutes; a look was still in hand" : "no answer within 10 minutes");
        return news;
    }
    // Also while a look hangs on a port whose driver stalls.
    if (!news) news = heldOrSilent(now);
    if (!inHand) post();
    lastTickAt_ = now;
    return news;
}

int VersionWatch::heldPort() const {
    if (held_.count(setup_.knownPort) != 0) return setup_.knownPort;
    for (int port : announced_)
        if (held_.count(port) != 0) return port;
    return 0;
}

std::optional<WatchNews> VersionWatch::heldOrSilent(base::TimePoint now) {
    // Before its restart the transponder has nothing to tell.
    if (!driveGoneAt_ && setup_.driveLetter != 0) return std::nullopt;
    if (const int held = heldPort()) {
        if (held == heldTold_) return std::nullopt;
        heldTold_ = held;
        silenceTold_ = false;
        log_.line("verdict: " + serial::ComName(held) +
                  " is held by another program: the transponder's version cannot be asked there");
        return WatchNews{WatchVerdict::Held, "", held};
    }
    if (silenceTold_ || !driveGoneAt_ || now - silentSince_ < kSilenceLimit) return std::nullopt;
    silenceTold_ = true;
    heldTold_ = 0;
    log_.line("verdict: the transponder has not answered, nor shown its boot drive, in the 2 minutes since its "
              "drive went");
    return WatchNews{WatchVerdict::Silent, ""};
}

bool VersionWatch::askNow(int port, base::TimePoint now) const {
    const auto due = [port, now](const std::map<int, base::TimePoint>& seen) {
        const auto it = seen.find(port);
        return it == seen.end() || now - it->second >= kHeldRetry;
    };
    // The transponder's own port is asked at every look, whatever it said.
    return port != 0 && due(held_) && (port == setup_.knownPort || due(others_));
}

void VersionWatch::post() {
    const base::TimePoint now = clock_();
    const int known = askNow(setup_.knownPort, now) ? setup_.knownPort : 0;
    std::vector<int> announced;
    for (int port : announced_)
        if (askNow(port, now)) announced.push_back(port);
    const char letter = setup_.driveLetter;
    if (known == 0 && announced.empty() && letter == 0) return;  // nothing to look at yet
    auto look = std::make_shared<Look>();
    look->number = looks_ + 1;
    look->postedAt = now;
    bootdrive::DriveSystem* drives = &drives_;
    const std::optional<uint64_t> imageBytes = setup_.imageBytes;
    if (!runner_->post([look, drives, known, announced, letter, imageBytes](serial::SerialPortSystem& ports) {
            look->device = serial::LookForDevice(ports, known, announced);
            // The drives only while the transponder has not answered.
            if (letter != 0 && look->device.port == 0)
                look->drive = bootdrive::LookAtDrivesAfterCopy(*drives, letter, imageBytes);
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

    readPorts(look);
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
    return readDrive(look);
}

void VersionWatch::readPorts(const Look& look) {
    const auto& held = look.device.held;
    for (int port : held) {
        if (ownCall_ && ownCall_(port)) {
            log_.line(serial::ComName(port) + " is held by the wizard's own call, still in its driver: asked again");
            continue;
        }
        if (held_.count(port) == 0)
            log_.line(serial::ComName(port) +
                      " is held by another program: asked again when Windows announces it, or in 30 s");
        held_[port] = look.postedAt;
    }
    for (int port : look.device.asked) {
        if (std::find(held.begin(), held.end(), port) != held.end() || held_.erase(port) == 0) continue;
        log_.line(serial::ComName(port) + " is no longer held by another program");
        // The transponder may have answered that program all the while: its
        // silence counts from now.
        silentSince_ = std::max(silentSince_, look.postedAt);
    }
    for (int port : look.device.others) {
        const bool first = others_.count(port) == 0;
        others_[port] = look.postedAt;
        if (!first) continue;
        // Whole lines without the reply: a GPS, or the transponder talking
        // before it answers (its own sentences at a desk without a fix).
        // Not its silence: that counts from here.
        silentSince_ = std::max(silentSince_, look.postedAt);
        log_.line(serial::ComName(port) + " answers in lines of another kind: " +
                  (port == setup_.knownPort ? std::string("asked at every look all the same")
                                            : "asked again when Windows announces it, or in 30 s") +
                  "; the transponder's silence counts from now");
    }
}

std::optional<WatchNews> VersionWatch::readDrive(const Look& look) {
    if (!look.drive) return std::nullopt;
    const bootdrive::DriveReturnLook& drive = *look.drive;
    if (!drive.driveThere && !settlingAfterResume(look.postedAt))
        noteDriveGone(look.postedAt, "its root can no longer be opened");
    if (drive.readyDrive < 0) return std::nullopt;
    const char ready = static_cast<char>(drive.readyDrive);
    if (drive.imageThere) {
        // The image still on it: the same device, its cable replugged or its
        // hub reset, not restarted yet. The watch follows it.
        if (driveGoneAt_)
            log_.line("the drive is back as " + std::string(1, ready) +
                      ": with the image on it: the transponder has not restarted yet");
        const bool told = silenceTold_ || heldTold_ != 0;
        driveGoneAt_.reset();
        silenceTold_ = false;
        heldTold_ = 0;
        setup_.driveLetter = ready;
        if (told) return WatchNews{WatchVerdict::NotRestarted, ""};
        return std::nullopt;
    }
    // A boot drive that never went is the one the image was copied onto:
    // the user has not restarted the transponder yet.
    if (!driveGoneAt_) return std::nullopt;
    log_.line("verdict: the transponder is back in its boot loader, its drive " + std::string(1, ready) +
              ": ready for an image again, without the image: the new firmware did not take");
    stop("the transponder is in its boot loader");
    return WatchNews{WatchVerdict::BootMode, ""};
}

}  // namespace app
