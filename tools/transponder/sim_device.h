// The simulated transponder's states: running its firmware (answering on
// its port), in its boot loader (its drive up, waiting for an image), and
// the restart between them that --reboot-after and --restart-into shape.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "sim_drive.h"
#include "sim_options.h"
#include "sim_sentences.h"

namespace sim {

class Device {
public:
    using Clock = std::chrono::steady_clock;
    // Writes bytes to the device's side of the terminal.
    using Send = std::function<void(const std::string&)>;

    // `watch` and `imageBytes` (the size of --image, -1 without) serve
    // --reboot-after; `watch` is null without it.
    Device(const Options& o, Send send, const std::string& slavePath, BootDrive& drive, ImageWatch* watch,
           long long imageBytes);

    void start();
    void onRequest(Request r);
    // Milliseconds until something is due; -1 when nothing is.
    int nextTimeoutMs() const;
    // Something happened to the image on the drive: with the boot loader
    // waiting for it, (re)start the count to the restart from now when it
    // is complete, else stop it.
    void onImageEvents();
    void onTime();
    // The port's link as it is now (--link, or --link-after once the
    // device came back on another port); empty when there is none.
    const std::string& portLink() const { return portLink_; }

private:
    void answer();
    void enterBootLoader(int delayMs);
    void restart();
    void comeBackAsFirmware();

    const Options& o_;
    Send send_;
    const std::string& slavePath_;
    BootDrive& drive_;
    ImageWatch* watch_;
    long long imageBytes_;
    std::string version_;
    std::string portLink_;
    int restarts_ = 0;
    bool booted_ = false;
    bool readyPending_ = false;
    bool watchingCopy_ = false;
    bool awaitingImage_ = false;  // ready, for --reboot-after
    bool rebootPending_ = false;
    Clock::time_point readyAt_{};
    Clock::time_point rebootAt_{};
    Clock::time_point quietUntil_{};
    int gpsLeft_ = 0;  // queries still answered with GPS sentences only
};

}  // namespace sim
