// After "Finish!": the transponder restarts, and the wizard watches for
// its return to say what became of the upgrade. It asks the port the
// transponder answered on and every port Windows announces since, and
// looks at the drives, one look at a time off the window's thread, until
// the transponder answers, comes back in its boot loader, or 10 minutes
// have passed.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/log.h"
#include "bootdrive/drive_system.h"
#include "serial/port_worker.h"
#include "serial/serial_port_system.h"

namespace app {

// How long the watch lasts, from "Finish!".
inline constexpr std::chrono::minutes kWatchLength{10};
// How long after its drive went the transponder counts as silent.
inline constexpr std::chrono::minutes kSilenceLimit{2};

// What the watch found out.
enum class WatchVerdict {
    NewVersion,    // the transponder runs the image's version
    OldVersion,    // it still runs the version it had: the new firmware did not take
    OtherVersion,  // it runs neither
    BootMode,      // its drive went and came back ready for an image: the flash failed
    Silent,        // two minutes since its drive went, and neither its port nor its drive came back
};

struct WatchNews {
    WatchVerdict verdict;
    std::string version;  // the version the transponder gave, for the three versions
};

class VersionWatch {
public:
    struct Setup {
        int knownPort = 0;          // where the transponder answered; 0: it was found in its boot loader
        char driveLetter = 0;       // the drive the image went to; 0: none
        std::string versionBefore;  // what it ran before; empty when unknown
        std::string newVersion;     // the image's version
    };

    // `ports` and `drives` must live as long as the process: a look given
    // up may still use them.
    VersionWatch(serial::SerialPortSystem& ports, bootdrive::DriveSystem& drives, base::Log& log, base::Clock clock);

    // Begins the watch; its looks run on `runner`, one at a time.
    void start(const Setup& setup, serial::JobRunner& runner);
    // Ends it; a look in hand ends unread.
    void stop(const std::string& why);
    bool running() const { return running_; }

    // Windows announces COMn: asked at every look from now on.
    void portArrived(int port);
    // Windows says volumes went: bit 0 for A:, bit 25 for Z:.
    void drivesRemoved(uint32_t letters);

    // Every 2 s while it runs: reads the look that has ended and starts the
    // next. What the watch found, when it found something new. A verdict
    // of a version or of the boot loader ends the watch; silence does not.
    std::optional<WatchNews> tick();

private:
    struct Look;
    std::optional<WatchNews> read(const Look& look);
    void post();
    void noteDriveGone(base::TimePoint when, const std::string& how);

    serial::SerialPortSystem& ports_;
    bootdrive::DriveSystem& drives_;
    base::Log& log_;
    base::Clock clock_;

    serial::JobRunner* runner_ = nullptr;
    Setup setup_;
    bool running_ = false;
    base::TimePoint startedAt_{};
    std::vector<int> announced_;  // in the order Windows announced them
    std::set<int> held_;          // refused by another program: not asked again
    std::optional<base::TimePoint> driveGoneAt_;
    bool silenceTold_ = false;
    int looks_ = 0;
    std::shared_ptr<Look> look_;  // the look in hand
    std::vector<std::string> lastSeen_;
};

}  // namespace app
