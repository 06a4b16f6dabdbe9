// The version watch after "Finish!", on the portable fakes, a clock moved
// by hand and a runner whose look runs when the row says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/version_watch.h"
#include "serial/port_discovery.h"
#include "tests/unit/app_fakes.h"

namespace {

using namespace std::chrono_literals;
using apptest::versionReply;
using app::WatchVerdict;

// Holds the look handed over until the row runs it.
struct HandRunner final : serial::JobRunner {
    explicit HandRunner(serial::SerialPortSystem& p) : ports(p) {}
    bool post(Job job) override {
        if (held) return false;
        held = std::move(job);
        return true;
    }
    bool idle() const override { return !held; }
    void run() {
        if (!held) return;
        auto job = std::move(held);
        held = nullptr;
        job(ports);
    }
    serial::SerialPortSystem& ports;
    Job held;
};

struct LogLines final : base::LogSystem {
    std::string timeStamp() override { return ""; }
    std::string runFacts() override { return ""; }
    std::optional<uint64_t> open() override { return 0; }
    std::optional<std::string> read() override { return text; }
    bool rewrite(std::string_view t) override { return text.assign(t), true; }
    bool append(std::string_view t) override { return text.append(t), true; }
    std::string text;
};

struct Bench {
    Bench() { log.startWriting(); }
    apptest::FakeSerialPorts ports;
    apptest::FakeDrives drives;
    LogLines logged;
    base::Log log{&logged};
    base::TimePoint now{};
    HandRunner runner{ports};
    app::VersionWatch watch{drives, log, [this] { return now; }};
    std::vector<std::string> told;  // each verdict, as "verdict version"

    // A tick of the window's timer, 2 s after the last.
    void tick() {
        now += 2s;
        if (const auto news = watch.tick())
            told.push_back(Name(news->verdict) + " " + (news->port ? serial::ComName(news->port) : news->version));
    }
    // A tick that starts a look, and the look run to its end.
    void look() {
        tick();
        runner.run();
    }
    void looks(int n) {
        for (int i = 0; i < n; ++i) look();
    }
    static std::string Name(WatchVerdict v) {
        static const char* const kNames[] = {"new", "old", "other", "boot mode", "silent", "held", "not restarted"};
        return kNames[static_cast<int>(v)];
    }
};

struct WatchRow {
    const char* name;
    app::VersionWatch::Setup setup;
    std::function<void(Bench&)> arrange;  // before the watch starts
    std::function<void(Bench&)> act;
    std::vector<std::string> told;
    std::vector<int> opened;  // every port an open was tried on, in order; kUncounted: not checked
    bool running;             // the watch still runs at the end
    const char* logged;       // a line the log holds; "" for none
};

const std::vector<int> kUncounted{-1};
const app::VersionWatch::Setup kOverSerial{5, 'E', "2.0.1", "2.05", 6};
const app::VersionWatch::Setup kFromBootMode{0, 'E', "", "2.05", 6};
const app::VersionWatch::Setup kOn7{7, 'E', "2.0.1", "2.05", 6};

// The drive as the copy left it: ready, the image of 6 bytes on it.
void Drive(Bench& b, char letter = 'E', uint64_t bytes = 6) {
    b.drives.addBootDrive(letter, true), b.drives.drives[letter].files["AIS_Firmware.S19"] = bytes;
}
void Device(Bench& b) {
    b.ports.addPort(5, "");
    Drive(b);
}
// The drive goes as the transponder restarts.
void Restarts(Bench& b, char letter = 'E') { b.drives.drives.erase(letter); }
void Answers(Bench& b, const char* version, int port = 5) {
    b.ports.openable[port] = true, b.ports.replies[port] = versionReply(version);
}
void Sleeps(Bench& b, std::chrono::minutes asleep) { b.now += asleep, b.watch.resumed(); }
// A position report without a fix, as a GPS or the transponder itself sends.
const char kGpsLines[] = "$GPRMC,,V,,,,,,,,,,N*53\r\n$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n";
// COM7, announced, first answers `first`, then the version.
WatchRow FirstAnswerOn7(const char* name, std::string first) {
    return {name, kOverSerial, [first](Bench& b) { Device(b), b.ports.addPort(7, first); },
            [](Bench& b) { b.watch.portArrived(7), b.look(), b.ports.replies[7] = versionReply("2.05"), b.looks(2); },
            {"new 2.05"}, {5, 7, 5, 7}, false, ""};
}
// A boot drive ready, without the image: the boot loader back.
void ReadyDrive(Bench& b) { b.drives.addBootDrive('E', true); }
// Windows says the drive went `after` a wake-up; it is there again, without the image.
std::function<void(Bench&)> RemovedAfterWakeUp(std::chrono::seconds after) {
    return [after](Bench& b) { b.look(), Sleeps(b, 1min), b.now += after, b.watch.drivesRemoved(1u << 4), b.looks(2); };
}

std::vector<WatchRow> Rows() {
    return {
        {"the known port answers", kOverSerial, Device,
         [](Bench& b) {
             b.look();  // still restarting
             b.ports.replies[5] = versionReply("02.5");
             b.looks(2);
         },
         {"new 02.5"}, {5, 5}, false, "verdict: the transponder runs the new firmware"},
        {"an announced port silent at its first look answers at its second", kOverSerial,
         [](Bench& b) { Device(b), b.ports.addPort(7, ""); },
         [](Bench& b) {
             b.watch.portArrived(7);
             b.look();
             b.ports.replies[7] = versionReply("2.05");
             b.look();
             b.tick();
         },
         {"new 2.05"}, {5, 7, 5, 7}, false, ""},
        {"Bluetooth and unlisted announced ports are never asked", kOverSerial,
         [](Bench& b) {
             Device(b);
             b.ports.devices.push_back({"Standard Serial over Bluetooth link (COM9)", "BTHENUM\\{00001101}\\7&1"});
             b.ports.openable[9] = true;
         },
         [](Bench& b) { b.watch.portArrived(9), b.watch.portArrived(8), b.looks(2); },
         {}, {5, 5}, true, "COM8: announced, but not a port to ask"},
        {"a port another program holds is asked again every 30 s, and named only after the restart", kOverSerial,
         [](Bench& b) { Device(b), b.ports.openable[5] = false; },
         [](Bench& b) { b.looks(16); }, {}, {5, 5}, true, "COM5 is held by another program: asked again"},
        {"the transponder's port held by a call the wizard gave up: never named as another program's", kOverSerial,
         [](Bench& b) { Device(b), b.ports.openable[5] = false; },
         [](Bench& b) {
             b.watch.start(kOverSerial, b.runner, [](int port) { return port == 5; });
             Restarts(b), b.looks(3);
         },
         {}, kUncounted, true, "COM5 is held by the wizard's own call, still in its driver"},
        {"a start in boot mode asks only announced ports", kFromBootMode,
         [](Bench& b) {
             b.drives.addBootDrive('E', true);
             b.ports.addPort(3, ""), b.ports.addPort(7, versionReply("3.1"));
         },
         [](Bench& b) {
             b.looks(3);
             b.watch.portArrived(7);
             b.look();
             b.tick();
         },
         {"other 3.1"}, {7}, false, ""},
        {"the old version", kOverSerial, [](Bench& b) { b.ports.addPort(5, versionReply("2.0.01")); },
         [](Bench& b) { b.looks(2); }, {"old 2.0.01"}, {5}, false, "did not take"},
        {"ten minutes without an answer", kOverSerial, Device, [](Bench& b) { b.looks(300); }, {}, kUncounted, false,
         "the watch ends: no answer within 10 minutes"},
        {"ten minutes end a look still in hand, and it is never read", kOverSerial, Device,
         [](Bench& b) {
             b.looks(298);
             b.tick();  // a look that hangs
             b.ports.replies[5] = versionReply("2.05");
             b.tick();
             b.runner.run();
             b.tick();
         },
         {}, kUncounted, false, "a look was still in hand"},
        {"leaving the page ends the watch and its look in hand", kOverSerial, Device,
         [](Bench& b) {
             b.tick();
             b.watch.stop("the finished page was left");
             b.ports.replies[5] = versionReply("2.05");
             b.runner.run();
             b.looks(2);
             EXPECT_EQ(b.logged.text.find("look 1:"), std::string::npos) << "the look in hand was read";
         },
         {}, {5}, false, ""},
        {"a second watch starts afresh: no held port, no drive gone from the first", kOverSerial, Device,
         [](Bench& b) {
             b.look(), Restarts(b), b.ports.openable[5] = false, b.looks(2), b.watch.stop("the page was left");
             b.now += std::chrono::minutes(3), Drive(b), b.ports.openable[5] = true;  // the next upgrade
             b.watch.start(kOverSerial, b.runner);
             const auto asked = b.ports.opens.size();
             b.looks(62);
             EXPECT_EQ(b.ports.opens.size(), asked + 62) << "COM5 is asked at every look";
         },
         {"held COM5"}, kUncounted, true, ""},
        {"held by another program after the restart, then free: named, never silent, then the version", kOverSerial,
         Device,
         [](Bench& b) {
             b.look(), Restarts(b), b.ports.openable[5] = false, b.looks(75);  // 150 s: chart software answered
             b.ports.openable[5] = true, b.looks(55), Answers(b, "2.05"), b.looks(2), b.tick();  // free, still quiet
         },
         {"held COM5", "new 2.05"}, kUncounted, false, "COM5 is no longer held"},
        {"the known port gone during the restart is asked again on its number", kOverSerial, Device,
         [](Bench& b) { b.look(), Restarts(b), b.ports.openable.erase(5), b.looks(3), Answers(b, "2.05"), b.looks(2); },
         {"new 2.05"}, {5, 5, 5, 5, 5}, false, ""},
        {"the drive back with the image before the restart: no verdict, then the new version", kOverSerial, Device,
         [](Bench& b) {
             b.look(), Restarts(b), b.look(), Drive(b), b.looks(70);  // the cable replugged
             Restarts(b), b.looks(3), Answers(b, "2.05"), b.looks(2);
         },
         {"new 2.05"}, kUncounted, false, "with the image on it: the transponder has not restarted yet"},
        {"asleep: the silence counts from the wake-up, the ten minutes in time awake", kOverSerial, Device,
         [](Bench& b) {
             b.look(), Restarts(b), b.looks(30), Sleeps(b, std::chrono::minutes(9)), b.looks(59);
             EXPECT_TRUE(b.told.empty()) << "not before two minutes awake";
             b.looks(2);
         },
         {"silent "}, kUncounted, true, ""},
        {"a drive that goes as USB comes back after a wake-up is no restart", kOverSerial, Device,
         [](Bench& b) {
             // Another program takes COM5 as USB comes back: no word of it before the restart.
             b.looks(2), Sleeps(b, std::chrono::minutes(1)), b.ports.openable[5] = false;
             b.watch.drivesRemoved(1u << ('E' - 'A')), Restarts(b), b.look(), Drive(b), b.looks(70);
         },
         {}, kUncounted, true, "not taken for a restart"},
        {"the same version flashed again is the new one", {5, 'E', "2.05", "2.05", 6},
         [](Bench& b) { b.ports.addPort(5, versionReply("2.05")); }, [](Bench& b) { b.looks(2); }, {"new 2.05"},
         {5}, false, ""},
        {"another device on an announced port is asked once, and again when announced again", kOverSerial,
         [](Bench& b) { Device(b), b.ports.addPort(7, "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4*6A\r\n"); },
         [](Bench& b) { b.watch.portArrived(7), b.looks(3), b.watch.portArrived(7), b.look(); },
         {}, {5, 7, 5, 5, 5, 7}, true, "...: another device"},
        {"the drive goes and comes back ready: back in the boot loader", kOverSerial, Device,
         [](Bench& b) {
             b.look();  // the drive is still there, ready as the copy left it
             Restarts(b);
             b.look();
             b.drives.addBootDrive('G', false);  // back, and not ready yet
             b.look();
             b.drives.setReady('G', true);
             b.look();
             b.tick();
         },
         {"boot mode "}, {5, 5, 5, 5}, false, "verdict: the transponder is back in its boot loader"},
        {"a drive that never went is no verdict", kFromBootMode, [](Bench& b) { b.drives.addBootDrive('E', true); },
         [](Bench& b) { b.looks(100); }, {}, std::vector<int>(), true, ""},
        {"Windows tells a quick restart the looks did not see", kFromBootMode,
         [](Bench& b) { b.drives.addBootDrive('E', true); },
         [](Bench& b) { b.look(), b.watch.drivesRemoved(1u << ('E' - 'A')), b.look(); },
         {"boot mode "}, std::vector<int>(), false, "(Windows says it was removed)"},
        {"silent two minutes after the drive went, then the answer", kOverSerial, Device,
         [](Bench& b) {
             b.looks(3);
             Restarts(b);
             b.looks(60);  // 118 s since the look that saw it gone
             EXPECT_TRUE(b.told.empty()) << "not before two minutes";
             b.looks(2);
             b.ports.replies[5] = versionReply("2.05");
             b.look();
             b.tick();
         },
         {"silent ", "new 2.05"}, std::vector<int>(66, 5), false, "has not answered"},
        {"a freed port announced again is asked at once", kOverSerial,
         [](Bench& b) { Device(b), b.ports.addPort(7, ""), b.ports.openable[7] = false; },
         [](Bench& b) { b.watch.portArrived(7), b.looks(2), Answers(b, "2.5", 7), b.watch.portArrived(7), b.looks(2); },
         {"new 2.5"}, {5, 7, 5, 5, 7}, false, ""},
        {"a drive gone 10 s after a wake-up is USB coming back", kFromBootMode, ReadyDrive, RemovedAfterWakeUp(10s),
         {}, {}, true, "not taken for a restart"},
        {"a drive gone 11 s after a wake-up is a restart", kFromBootMode, ReadyDrive, RemovedAfterWakeUp(11s),
         {"boot mode "}, {}, false, "(Windows says it was removed)"},
        {"awake time before a sleep still counts", kOverSerial, Device,
         [](Bench& b) { b.looks(150), Sleeps(b, 30min), b.looks(151); }, {}, kUncounted, false, "within 10 minutes"},
        {"a stray line of another kind on the transponder's own port does not drop it", kOverSerial,
         [](Bench& b) { Device(b), b.ports.replies[5] = kGpsLines; },
         [](Bench& b) { b.looks(2), Answers(b, "2.05"), b.looks(2); }, {"new 2.05"}, {5, 5, 5}, false, "all the same"},
        {"not restarted after silence was told", kOverSerial, Device,
         [](Bench& b) { b.look(), Restarts(b), b.looks(62), Drive(b), b.looks(2); },
         {"silent ", "not restarted "}, kUncounted, true, "with the image on it"},
        {"the drive back at a new letter, then the restart", kOverSerial, Device,
         [](Bench& b) { b.look(), Restarts(b), b.look(), Drive(b, 'G'), b.looks(70), Restarts(b, 'G'), b.looks(3); },
         {}, kUncounted, true, "the drive G: has gone"},
        {"a second watch asks the port the first one found another device on; its talk is no silence", kOn7,
         [](Bench& b) { Device(b), b.ports.addPort(7, kGpsLines), b.watch.start(kOn7, b.runner), b.looks(2); },
         [](Bench& b) {
             b.ports.replies[7] = "", b.look(), Restarts(b), b.looks(50), b.ports.replies[7] = kGpsLines, b.looks(20);
         },
         {}, kUncounted, true, "COM7 answers in lines of another kind: asked at every look all the same"},
        {"a firmware file of the wrong size on the returning drive: the boot loader", kOverSerial, Device,
         [](Bench& b) { b.look(), Restarts(b), b.look(), Drive(b, 'E', 5), b.looks(2); },
         {"boot mode "}, kUncounted, false, "a firmware file of 5 bytes"},
        FirstAnswerOn7("a cut $AIVER after an earlier whole line is asked again at once",
                       "$GPRMC,,V,,,,,,,,,,N*53\r\n$AIVER,AIS-B"),
        FirstAnswerOn7("a few bytes so far are asked again at once", "$GPR"),
        FirstAnswerOn7("the transponder's own !AIVDO line is asked again at once",
                       "!AIVDO,1,1,,,B5NJ;PP005l4ot5Isbl03wsUkP06,0*2C\r\n"),
        {"GPS lines first, then the version: the port asked again 30 s later", kOverSerial,
         [](Bench& b) { Device(b), b.ports.addPort(7, kGpsLines); },
         [](Bench& b) { b.watch.portArrived(7), b.look(), b.ports.replies[7] = versionReply("2.05"), b.looks(16); },
         {"new 2.05"}, {5, 7, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 7}, false, "or in 30 s"},
        {"ports announced from the copy's start on are asked at once; an earlier attempt's are not", kOverSerial,
         [](Bench& b) {
             Device(b), b.ports.addPort(7, versionReply("2.05")), b.ports.addPort(8, versionReply("2.05"));
             b.watch.copyStarted(), b.watch.portArrived(8), b.watch.copyStarted(), b.watch.portArrived(7);
         }, [](Bench& b) { b.looks(2); }, {"new 2.05"}, {5, 7}, false, ""},
        {"a gap of 15 s in the ticks is sleep: the silence counts afresh", kOverSerial, Device,
         [](Bench& b) { b.looks(30), Restarts(b), b.look(), b.now += 13s, b.looks(59); }, {}, kUncounted, true,
         "no tick of the watch for 15 s: the PC was asleep"},
        {"two announced ports asked in one look, together", kOverSerial,
         [](Bench& b) { Device(b), b.ports.addPort(7, ""), b.ports.addPort(8, versionReply("2.05")); },
         [](Bench& b) {
             b.ports.delays = {{5, 500ms}, {7, 500ms}, {8, 500ms}}, b.watch.portArrived(7), b.watch.portArrived(8);
             b.look(), b.tick();
             EXPECT_EQ(b.ports.mostAtOnce, 3u) << "the ports are asked together";
         },
         {"new 2.05"}, {5, 7, 8}, false, ""},
    };
}

TEST(VersionWatch, Table) {
    for (const WatchRow& row : Rows()) {
        SCOPED_TRACE(row.name);
        Bench b;
        row.arrange(b);
        b.watch.start(row.setup, b.runner);
        row.act(b);
        EXPECT_EQ(b.told, row.told);
        if (row.opened != kUncounted) {  // the ports of a look are asked together, in no set order
            std::vector<int> opened = b.ports.opens, expected = row.opened;
            std::sort(opened.begin(), opened.end()), std::sort(expected.begin(), expected.end());
            EXPECT_EQ(opened, expected);
        }
        EXPECT_EQ(b.watch.running(), row.running);
        if (*row.logged) {
            EXPECT_NE(b.logged.text.find(row.logged), std::string::npos) << b.logged.text;
        }
    }
}

}  // namespace
