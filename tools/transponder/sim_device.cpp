#include "sim_device.h"

#include <cstdio>
#include <thread>

#include "sim_pty.h"

namespace sim {
namespace {

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int MsUntil(Device::Clock::time_point t) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t - Device::Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

const char* NameOf(Comeback c) {
    switch (c) {
        case Comeback::Firmware: return "firmware";
        case Comeback::BootLoader: return "boot loader";
        case Comeback::Nothing: return "nothing";
    }
    return "?";
}

}  // namespace

Device::Device(const Options& o, Send send, const std::string& slavePath, BootDrive& drive, ImageWatch* watch,
               long long imageBytes)
    : o_(o), send_(std::move(send)), slavePath_(slavePath), drive_(drive), watch_(watch), imageBytes_(imageBytes),
      version_(o.version), portLink_(o.link) {}

void Device::start() {
    if (o_.bootMode) enterBootLoader(0);
}

void Device::onRequest(Request r) {
    if (o_.silent || booted_) return;
    if (Clock::now() < quietUntil_) {
        if (o_.verbose) std::fprintf(stderr, "transponder_sim: still quiet after the restart\n");
        return;
    }
    if (r == Request::VersionQuery) answer();
    if (r == Request::BootCommand) enterBootLoader(o_.readyDelayMs);
}

int Device::nextTimeoutMs() const {
    if (readyPending_) return MsUntil(readyAt_);
    if (watchingCopy_) return 5;
    if (rebootPending_) return MsUntil(rebootAt_);
    return -1;
}

void Device::onImageEvents() {
    if (!watch_->take() || !awaitingImage_) return;
    const long long size = drive_.imageSize();
    const bool complete =
        watch_->written() && !watch_->isOpen() && (imageBytes_ < 0 ? size > 0 : size == imageBytes_);
    rebootPending_ = complete;
    rebootAt_ = Clock::now() + std::chrono::milliseconds(o_.rebootAfterMs);
    if (o_.verbose) {
        std::fprintf(stderr, "transponder_sim: image of %lld bytes %s\n", size,
                     complete ? "complete, restart counted from now" : "not complete");
    }
}

void Device::onTime() {
    if (readyPending_ && Clock::now() >= readyAt_) {
        readyPending_ = false;
        if (drive_.present() && !o_.noReady) drive_.makeReady();
        // The drive comes with its ready file on it.
        drive_.plugIn();
        watchingCopy_ = drive_.present() && o_.vanishOnCopy;
        // Only an image written from now on is taken.
        if (watch_ != nullptr) watch_->forgetWrites();
        awaitingImage_ = watch_ != nullptr && !o_.noReady;
    }
    if (watchingCopy_ && drive_.hasImage()) {
        watchingCopy_ = false;
        drive_.vanish(o_.fillDrive);
    }
    if (rebootPending_ && Clock::now() >= rebootAt_) restart();
}

void Device::answer() {
    SleepMs(o_.replyDelayMs);
    if (gpsLeft_ > 0) {
        --gpsLeft_;
        send_(GpsSentences());
        if (o_.verbose) std::fprintf(stderr, "transponder_sim: answered with GPS sentences only\n");
        return;
    }
    std::string reply = ComposeReply(o_, version_);
    if (o_.gapMs > 0 && o_.gapAfter > 0 && static_cast<std::size_t>(o_.gapAfter) < reply.size()) {
        send_(reply.substr(0, static_cast<std::size_t>(o_.gapAfter)));
        SleepMs(o_.gapMs);
        send_(reply.substr(static_cast<std::size_t>(o_.gapAfter)));
    } else {
        send_(reply);
    }
    if (o_.verbose) std::fprintf(stderr, "transponder_sim: answered %zu bytes\n", reply.size());
}

void Device::enterBootLoader(int delayMs) {
    booted_ = true;
    readyPending_ = true;
    readyAt_ = Clock::now() + std::chrono::milliseconds(delayMs);
    // The boot loader has no serial face: the port goes until the restart.
    if (watch_ != nullptr && !portLink_.empty()) RetractLink(slavePath_, portLink_);
    if (o_.verbose) std::fprintf(stderr, "transponder_sim: boot loader, ready in %d ms\n", delayMs);
}

// The boot loader took the image and leaves: the drive goes, and the
// device comes back as --restart-into says.
void Device::restart() {
    rebootPending_ = awaitingImage_ = false;
    drive_.restart(o_.image);
    drive_.unplug();
    const std::size_t last = o_.restartInto.size() - 1;
    const Comeback into = o_.restartInto[static_cast<std::size_t>(restarts_) < last ? restarts_ : last];
    ++restarts_;
    if (o_.verbose) std::fprintf(stderr, "transponder_sim: restart %d into %s\n", restarts_, NameOf(into));
    if (into == Comeback::Firmware) {
        comeBackAsFirmware();
    } else if (into == Comeback::BootLoader) {
        // The image did not start: the boot loader brings its drive up
        // again, the port stays gone.
        readyPending_ = true;
        readyAt_ = Clock::now() + std::chrono::milliseconds(o_.driveBackMs);
    }
}

// The new firmware runs: the port comes back (on --link-after if given),
// the version is the new one.
void Device::comeBackAsFirmware() {
    version_ = o_.versionAfter;
    booted_ = false;
    quietUntil_ = Clock::now() + std::chrono::milliseconds(o_.quietAfterRestartMs);
    gpsLeft_ = o_.gpsFirst;
    if (!o_.linkAfter.empty()) portLink_ = o_.linkAfter;
    std::string error;
    if (!portLink_.empty() && !PublishLink(slavePath_, portLink_, error)) {
        std::fprintf(stderr, "transponder_sim: %s\n", error.c_str());
    }
    if (o_.verbose) {
        std::fprintf(stderr, "transponder_sim: restarted with version %s%s%s\n", version_.c_str(),
                     portLink_.empty() ? "" : " on ", portLink_.c_str());
    }
}

}  // namespace sim
