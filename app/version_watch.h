// After "Finish!": the transponder restarts, and the wizard watches for
// its return to say what became of the upgrade. It asks the port the
// transponder answered on and every port Windows announces from the copy's
// start on, and looks at the drives, one look at a time off the window's
// thread, until the transponder answers, comes back in its boot loader, or
// 10 minutes awake have passed. It tells only what it saw: a port another
// program holds is named as such, never taken for silence.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/log.h"
#include "bootdrive/drive_system.h"
#include "serial/port_worker.h"

namespace app {

// How long the watch lasts, from "Finish!", in time awake.
inline constexpr std::chrono::minutes kWatchLength{10};
// How long after its drive went the transponder counts as silent.
inline constexpr std::chrono::minutes kSilenceLimit{2};
// How often a port another program holds, or one that answered in lines of
// another kind, is asked again without a word from Windows.
inline constexpr std::chrono::seconds kHeldRetry{30};
// After a wake-up, USB comes back: drives that go meanwhile (this long
// after it at most) are not the transponder restarting.
inline constexpr std::chrono::seconds kResumeSettling{10};
// Ticks further apart than this mean the PC slept: a PC with Modern Standby
// may send no word of it.
inline constexpr std::chrono::seconds kSleepGap{10};

// What the watch found out.
enum class WatchVerdict {
    NewVersion,    // the transponder runs the image's version
    OldVersion,    // it still runs the version it had: the new firmware did not take
    OtherVersion,  // it runs neither
    BootMode,      // its drive went and came back ready for an image, without the image: the flash failed
    Silent,        // two minutes since its drive went, and neither its port nor its drive came back
    Held,          // since its restart, another program holds its port: `port`
    NotRestarted,  // after silence or a held port was told, its drive is back with the image on it
};

struct WatchNews {
    WatchVerdict verdict;
    std::string version;  // the version the transponder gave, for the three versions
    int port = 0;         // the port another program holds, for Held
};

class VersionWatch {
public:
    struct Setup {
        int knownPort = 0;          // where the transponder answered; 0: it was found in its boot loader
        char driveLetter = 0;       // the drive the image went to; 0: none
        std::string versionBefore;  // what it ran before; empty when unknown
        std::string newVersion;     // the image's version
        std::optional<uint64_t> imageBytes;  // the image's size, to know it again on a drive
    };

    // `drives` must live as long as the process: a look given up may still
    // use it.
    VersionWatch(bootdrive::DriveSystem& drives, base::Log& log, base::Clock clock);

    // Begins the watch afresh; its looks run on `runner`, one at a time.
    // `ownCall` tells a port that a call the wizard gave up is still in:
    // its refused open is no other program's.
    void start(const Setup& setup, serial::JobRunner& runner, std::function<bool(int port)> ownCall = {});
    // Ends it; a look in hand ends unread.
    void stop(const std::string& why);
    bool running() const { return running_; }

    // The copy of the image begins: a device that restarts the moment its
    // file is whole may bring its port up before "Finish!". Ports Windows
    // announces from now on are kept for the watch that follows; those of
    // an earlier attempt are forgotten.
    void copyStarted();
    // Windows announces COMn: asked at once and at every look from now on
    // (kept until the watch starts while a copy runs), also when another
    // program held it or another device answered on it before.
    void portArrived(int port);
    // Windows says volumes went: bit 0 for A:, bit 25 for Z:.
    void drivesRemoved(uint32_t letters);
    // The PC has woken up: the silence counts afresh, and drives that go
    // in the next kResumeSettling are USB coming back. Ticks more than
    // kSleepGap apart count as such a wake-up.
    void resumed();

    // Every 2 s while it runs: reads the look that has ended and starts the
    // next. What the watch found, when it found something new. A verdict
    // of a version or of the boot loader ends the watch; silence and a
    // held port do not. A port that answers in whole lines of another kind
    // (a GPS, or the transponder's own sentences read before its reply) is
    // asked again after kHeldRetry; the first time it does, the silence
    // counts afresh, as it may be the transponder talking.
    std::optional<WatchNews> tick();

private:
    struct Look;
    std::optional<WatchNews> read(const Look& look);
    void readPorts(const Look& look);
    std::optional<WatchNews> readDrive(const Look& look);
    std::optional<WatchNews> heldOrSilent(base::TimePoint now);
    void post();
    bool askNow(int port, base::TimePoint now) const;
    int heldPort() const;
    void noteDriveGone(base::TimePoint when, const std::string& how);
    void wokeUp(base::TimePoint now, const std::string& how);
    bool settlingAfterResume(base::TimePoint when) const;

    bootdrive::DriveSystem& drives_;
    base::Log& log_;
    base::Clock clock_;

    serial::JobRunner* runner_ = nullptr;
    std::function<bool(int)> ownCall_;
    Setup setup_;
    bool running_ = false;
    bool keeping_ = false;  // a copy runs: announcements are kept for the watch
    base::TimePoint startedAt_{};
    base::TimePoint lastTickAt_{};
    std::chrono::steady_clock::duration asleep_{};  // time asleep since "Finish!"
    std::optional<base::TimePoint> resumedAt_;
    std::vector<int> announced_;            // in the order Windows announced them
    std::map<int, base::TimePoint> held_;   // held by another program: when that was last seen
    std::map<int, base::TimePoint> others_;  // answered in lines of another kind: when last seen
    std::optional<base::TimePoint> driveGoneAt_;
    base::TimePoint silentSince_{};  // what the silence counts from, once the drive went
    bool silenceTold_ = false;
    int heldTold_ = 0;  // the held port the page names
    int looks_ = 0;
    std::shared_ptr<Look> look_;  // the look in hand
    std::vector<std::string> lastSeen_;
};

}  // namespace app
