// The scan over the candidates, the query on the wire and the boot command.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <numeric>
#include <regex>
#include <thread>

#include "serial/device_detection.h"
#include "serial/port_crew.h"
#include "serial/version_reply.h"
#include "serial_fakes.h"

namespace {

using serial_test::FakeDisplay;
using serial_test::FakePorts;
using serial_test::kGoodReply;
using serial_test::WaitFor;

const std::string kQuery = std::string("!AIAIQ,VER*3C\r\n") + '\0';

// Waits until every worker of the crew's rounds is through: a round whose
// calls have all ended is dropped at the next round.
void Through(serial::PortCrew& crew, serial::SerialPortSystem& ports) {
    const auto dropped = [&] { return crew.ask(0, {}, ports, [] { return true; }, [] { return false; }), crew.roundsLeft() == 0; };
    EXPECT_TRUE(WaitFor(dropped)) << "a round's workers never gave back their count";
}

bool SameTimeouts(const serial::CommTimeouts& a, const serial::CommTimeouts& b) {
    return a.readInterval == b.readInterval && a.readTotalMultiplier == b.readTotalMultiplier &&
           a.readTotalConstant == b.readTotalConstant && a.writeTotalMultiplier == b.writeTotalMultiplier &&
           a.writeTotalConstant == b.writeTotalConstant;
}

struct ProgressCase {
    int candidates;
    int answeringIndex;  // -1: none answers
    std::vector<int32_t> shown;
};

void PrintTo(const ProgressCase& c, std::ostream* os) {
    *os << c.candidates << " candidates, answer at " << c.answeringIndex;
}

class ScanProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(ScanProgress, StepsBeforeEachQuery) {
    const ProgressCase& c = GetParam();
    FakePorts ports;
    for (int i = 0; i < c.candidates; ++i) ports.present({i + 1});
    if (c.answeringIndex >= 0) ports.replies[c.answeringIndex + 1] = kGoodReply;
    FakeDisplay display(ports);
    serial::PortLists lists;
    serial::DeviceFields device;
    serial::DetectDeviceVersion(ports, lists, display, device);
    EXPECT_EQ(display.shown, c.shown);
    EXPECT_EQ(lists.CandidatePorts.empty(), c.answeringIndex < 0);
    // The window answered the system right before each probe and each
    // query, and at no other time.
    std::vector<std::size_t> beforeEach(ports.operations());
    std::iota(beforeEach.begin(), beforeEach.end(), std::size_t{0});
    EXPECT_EQ(display.answeredAt, beforeEach);
}

// Asked in turn (no thread to be had): the bar shows the share of ports done.
INSTANTIATE_TEST_SUITE_P(
    Candidates, ScanProgress,
    ::testing::Values(ProgressCase{0, -1, {0}}, ProgressCase{1, 0, {100}}, ProgressCase{1, -1, {0}},
                      ProgressCase{3, -1, {33, 66, 0}}, ProgressCase{3, 2, {33, 66, 100}},
                      ProgressCase{6, -1, {16, 33, 50, 66, 83, 0}},
                      ProgressCase{8, -1, {12, 25, 37, 50, 62, 75, 87, 0}},
                      ProgressCase{8, 7, {12, 25, 37, 50, 62, 75, 87, 100}}, ProgressCase{2, 1, {50, 100}}));

// Asked together, each port on a worker of its own. The clock stands still but
// for the hung call's row, and the real one runs for a row with a call limit.
struct TogetherRow {
    const char* name;
    std::function<void(FakePorts&)> arrange;
    bool leaves;  // the user leaves once two queries are in their call, their probes seen to end
    int chosen;   // 0: none
    std::vector<std::string> versions;
    std::size_t mostAtOnce;  // queries in their call at once; 0: not checked
    const char* logged;      // "": none
    std::chrono::milliseconds callLimit{0};
};

TEST(DetectDeviceVersion, AskedTogether) {
    using namespace std::chrono_literals;
    // Ports whose queries end after `delay`, the last of them the transponder's.
    const auto lastAnswers = [](FakePorts& p, std::initializer_list<int> ports, std::chrono::milliseconds delay) {
        for (int port : ports) p.present({port}), p.delays[port] = delay;
        p.replies[*(ports.end() - 1)] = kGoodReply;
    };
    const TogetherRow rows[] = {
        {"the device on the last of sixteen ports, the others silent",
         [&](FakePorts& p) { lastAnswers(p, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 1000ms); }, false,
         16, {"2.0.1"}, 16, "COM16: received"},
        {"two transponders: the lower port, though the higher answers first",
         [&](FakePorts& p) {
             lastAnswers(p, {3}, 500ms), p.present({4});
             p.replies[4] = "$AIVER,AIS-B-K40,SIM,1,0,HW1.0,,,,9.9.9,BL1.2*00\r\n";
         },
         false, 3, {"2.0.1"}, 0, "COM4: received"},
        {"a hung call holds the choice only until its time-out",
         [](FakePorts& p) { p.present({3, 5}), p.hangPort = 3, p.replies[5] = kGoodReply; }, false, 5, {"2.0.1"}, 0,
         "COM3: the version query did not return within 1932 ms: left in its driver"},
        {"a slow probe on a higher port is waited for, so that every port is listed",
         [](FakePorts& p) { p.present({3, 5}), p.replies[3] = kGoodReply, p.openDelays[5] = 300ms; }, false, 3,
         {"2.0.1"}, 0, "COM3: received"},
        {"a slow open, then a slow reply: each call within the limit, so the port is chosen",
         [](FakePorts& p) { p.present({3}), p.openDelays[3] = p.delays[3] = 400ms, p.replies[3] = kGoodReply; },
         false, 3, {"2.0.1"}, 0, "COM3: received", 700ms},
        {"the user leaves during the search", [&](FakePorts& p) { lastAnswers(p, {3, 5}, 1000ms); }, true, 0, {}, 2,
         "the search ends without a choice"},
    };
    for (const TogetherRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakePorts ports;
        row.arrange(ports);
        FakeDisplay display;
        base::TimePoint now{};
        serial::PortCrew::Options options{{}, [&] {
            if (ports.hangPort != 0 && ports.asked() == 2 && ports.inFlight() == 1) now += 1s;
            return now;
        }};
        if (row.callLimit.count() != 0) options.clock = base::SteadyNow, options.callLimit = row.callLimit;
        // Workers at once, and the most seen (they end before the crew).
        auto workers = std::make_shared<std::atomic<std::size_t>>(0), most = std::make_shared<std::atomic<std::size_t>>(0);
        options.start = [workers, most](std::function<void()> body) {
            return serial::StartDetachedThread([workers, most, body = std::move(body)] {
                const std::size_t now = ++*workers;
                for (std::size_t m = *most; now > m && !most->compare_exchange_weak(m, now);) {}
                body(), --*workers;
            });
        };
        serial::PortCrew crew(ports, options);
        // The asker notes a probe's end at its next look, which may come
        // after the query began.
        bool left = false;
        if (row.leaves)
            display.leaves = [&] {
                return left = left || (ports.inFlight() == 2 && crew.standing(0).stepsDone > 0 &&
                                       crew.standing(1).stepsDone > 0);
            };
        serial::PortLists lists;
        serial::DeviceFields device;
        serial::DetectDeviceVersion(ports, lists, display, device, &crew);
        if (ports.hangPort != 0) {
            EXPECT_NE(ports.inFlight(), 0u) << "calls left to run on";
            EXPECT_TRUE(crew.stillInLeftCall(3)) << "a port left in its call is not blamed on another program";
        }
        if (row.leaves) {  // the reads given up end at once
            EXPECT_TRUE(WaitFor([&] { return ports.inFlight() == 0 && !crew.stillInLeftCall(3); }));
        }
        ports.settle();
        EXPECT_EQ(device.DevicePortNumber, row.chosen);
        EXPECT_EQ(display.versions, row.versions);
        EXPECT_EQ(display.shown.back(), row.chosen != 0 ? 100 : 0);
        if (row.mostAtOnce != 0) {
            EXPECT_EQ(ports.mostAtOnce, row.mostAtOnce);
        }
        // Every query in its call at once, on a few threads: a read waits on none.
        EXPECT_LE(most->load(), serial::kMostPortWorkers + (ports.hangPort != 0 ? 1 : 0));
        EXPECT_EQ(lists.OpenablePorts, lists.EnumeratedPorts) << "every port probed";
        EXPECT_EQ(lists.CandidatePorts.empty(), row.chosen == 0);
        std::vector<int> order;  // the queries' lines: "at 0 ms: COM3: no answer ..."
        std::smatch com;
        for (const std::string& line : display.reports)
            if (std::regex_search(line, com, std::regex("COM([0-9]+): "))) order.push_back(std::stoi(com[1]));
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
        const bool logged = std::any_of(display.reports.begin(), display.reports.end(),
                                        [&](const std::string& l) { return l.find(row.logged) != std::string::npos; });
        EXPECT_TRUE(logged) << row.logged;
    }
}

// What a search leaves behind: no call a round no longer wants, no call
// left uncancelled, no port left unasked. The real clock runs; a call
// limit of 100 ms. The fake's hung calls end once given up (`cancellable`).
TEST(DetectDeviceVersion, LeavesNothingBehind) {
    using namespace std::chrono_literals;
    using P = FakePorts&;
    using C = serial::PortCrew&;
    const auto count = [](const std::vector<int>& v, int port) { return std::count(v.begin(), v.end(), port); };
    const struct {
        const char* name;
        std::function<void(P, FakeDisplay&)> arrange;
        int chosen;
        std::vector<int> hung;
        std::function<void(P, C)> check;  // before the fake's hung calls are let go
    } rows[] = {
        {"a probe that hangs: given up, never queried, free once its driver lets go",
         [](P p, FakeDisplay&) { p.present({3, 5}), p.hangProbes = {3}, p.cancellable = true, p.replies[5] = kGoodReply; },
         5, {3}, [&](P p, C crew) { EXPECT_TRUE(WaitFor([&] { return p.hung() == 0 && !crew.stillInLeftCall(3); })); }},
        {"an open overdue is given up at once: no second open, no query, while the round goes on",
         [](P p, FakeDisplay&) {  // COM5's four calls each within the limit, the round going on past it
             p.present({3, 3, 5, 5, 5}), p.hangProbes = {3}, p.cancellable = true, p.openDelays[5] = p.delays[5] = 50ms;
         },
         0, {3}, [&](P p, C crew) {
             Through(crew, p);
             const auto ends = p.ends();  // COM3's open, given up when overdue, ends before COM5's query
             EXPECT_LT(std::find(ends.begin(), ends.end(), -3), std::find(ends.begin(), ends.end(), 5));
             EXPECT_EQ(count(p.probedPorts(), 3), 1);
         }},
        {"a port enumerated twice, silent, is asked once", [](P p, FakeDisplay&) { p.present({5, 5}); }, 0, {},
         [&](P p, C) { EXPECT_EQ(count(p.queried(), 5), 1); }},
        {"a port another program holds gets no query", [](P p, FakeDisplay&) { p.present({3, 5}), p.busy = {3}; }, 0, {},
         [&](P p, C) { EXPECT_EQ(count(p.opened, 3), 0); }},
        {"the user leaves within a port's probe: its second open and its query are not made",
         [](P p, FakeDisplay& d) { p.present({5, 5}), p.openDelays[5] = 200ms, d.leaves = [&p] { return !p.probedPorts().empty(); }; },
         0, {}, [&](P p, C crew) { Through(crew, p); EXPECT_EQ(p.probedPorts(), std::vector<int>{5}); }},
        {"the user leaves just as the device answers: no choice",
         [](P p, FakeDisplay& d) {
             p.present({3}), p.replies[3] = kGoodReply, d.leaves = [&p] { return p.asked() == 1 && p.inFlight() == 0; };
         },
         0, {}, [](P, C) {}},
        {"the choice gives up the silent ports still asked: their calls end at once",
         [](P p, FakeDisplay&) { p.present({3, 5}), p.replies[3] = kGoodReply, p.hangPort = 5, p.cancellable = true; },
         3, {}, [&](P p, C crew) { EXPECT_TRUE(WaitFor([&] { return p.inFlight() == 0 && !crew.stillInLeftCall(5); })); }},
        {"64 probes hang: their workers give their places up, and the 65th port is asked",
         [](P p, FakeDisplay&) {
             for (int port = 1; port <= 65; ++port) p.present({port}), p.hangProbes.insert(port);
             p.hangProbes.erase(65), p.replies[65] = kGoodReply;
         },
         65, std::vector<int>(64), [](P, C) {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePorts ports;
        FakeDisplay display;
        row.arrange(ports, display);
        serial::PortCrew crew(ports, serial::PortCrew::Options{{}, base::SteadyNow, serial::StartDetachedThread, 100ms});
        serial::PortLists lists;
        serial::DeviceFields device;
        serial::DetectDeviceVersion(ports, lists, display, device, &crew);
        EXPECT_EQ(device.DevicePortNumber, row.chosen);
        EXPECT_EQ(row.hung.size() == 1 ? lists.HungPorts : std::vector<int>(lists.HungPorts.size()), row.hung);
        row.check(ports, crew);
        ports.settle();
        Through(crew, ports);
        for (int port : lists.HungPorts) EXPECT_EQ(count(ports.queried(), port), 0) << "a hung port queried";
    }
}

TEST(DetectDeviceVersion, FoundOnTheSecondOfThreeLeavesTheThirdUnopened) {
    FakePorts ports;
    ports.present({4, 2, 9});
    ports.replies[4] = kGoodReply;
    ports.replies[9] = kGoodReply;  // a second transponder: never asked
    FakeDisplay display;
    serial::PortLists lists;
    serial::DeviceFields device;
    serial::DetectDeviceVersion(ports, lists, display, device);
    EXPECT_EQ(ports.queried(), (std::vector<int>{2, 4}));
    EXPECT_EQ(lists.CandidatePorts, (std::vector<int>{2, 4, 9}));
    EXPECT_EQ(device.DevicePortNumber, 4);
    EXPECT_EQ(device.DeviceIdentified, 1);
    EXPECT_EQ(display.versions, (std::vector<std::string>{"2.0.1"}));
    EXPECT_EQ(display.shown.back(), 100);
}

TEST(DetectDeviceVersion, QueryIsTheSixteenBytesWithQueryTimeoutsAndAFullRead) {
    FakePorts ports;
    ports.present({5});
    FakeDisplay display;
    serial::PortLists lists;
    serial::DeviceFields device;
    serial::DetectDeviceVersion(ports, lists, display, device);
    ASSERT_EQ(ports.exchanges.size(), 1u);
    EXPECT_EQ(ports.exchanges[0].out, kQuery);
    EXPECT_EQ(ports.exchanges[0].readMax, 300u);
    EXPECT_TRUE(SameTimeouts(ports.exchanges[0].timeouts, serial::CommTimeouts{1, 3, 2, 30, 50}));
    EXPECT_EQ(device.DevicePortNumber, 0);
    EXPECT_EQ(device.DeviceIdentified, 0);
}

TEST(DetectDeviceVersion, NoAnswerEmptiesTheCandidatesAndShowsNoVersion) {
    FakePorts ports;
    ports.present({1, 2});
    ports.replies[1] = "$AIVER,AIS-B-K20,,,,,,,,1.0,\r\n";
    ports.replies[2] = "garbage";
    FakeDisplay display;
    serial::PortLists lists;
    serial::DeviceFields device;
    serial::DetectDeviceVersion(ports, lists, display, device);
    EXPECT_TRUE(lists.CandidatePorts.empty());
    EXPECT_EQ(lists.EnumeratedPorts, (std::vector<int>{1, 2}));
    EXPECT_TRUE(display.versions.empty());
}

TEST(QueryDeviceVersion, ResultCodes) {
    struct Case {
        const char* what;
        bool busy;
        std::string reply;
        uint8_t result;
    };
    const Case cases[] = {
        {"cannot open", true, "", serial::kQueryOpenFailed},
        {"silent", false, "", serial::kQueryNoDevice},
        {"other sentence", false, "$GPGGA,1\r\n", serial::kQueryNoDevice},
        {"identified", false, kGoodReply, serial::kQueryIdentified},
        {"reply beyond the 300 bytes of one read", false, std::string(300, '.') + kGoodReply,
         serial::kQueryNoDevice},
        {"model text beyond the 300 bytes", false, "$AIVER," + std::string(293, ',') + "AIS-B-K40",
         serial::kQueryNoDevice},
        {"model text just within", false, "$AIVER," + std::string(284, ',') + "AIS-B-K40",
         serial::kQueryIdentified},
    };
    for (const Case& c : cases) {
        FakePorts ports;
        if (c.busy) ports.busy = {6};
        ports.replies[6] = c.reply;
        FakeDisplay display;
        serial::DeviceFields device;
        EXPECT_EQ(serial::QueryDeviceVersion(ports, 6, display, device), c.result) << c.what;
        EXPECT_EQ(device.DevicePortNumber, c.result == 0 ? 6 : 0) << c.what;
    }
}

TEST(QueryDeviceVersion, PortAbove255KeepsItsWholeNumber) {
    FakePorts ports;
    ports.replies[261] = kGoodReply;
    FakeDisplay display;
    serial::DeviceFields device;
    EXPECT_EQ(serial::QueryDeviceVersion(ports, 261, display, device), serial::kQueryIdentified);
    EXPECT_EQ(ports.queried(), (std::vector<int>{261}));
    EXPECT_EQ(device.DevicePortNumber, 261);
}

TEST(QueryDeviceVersion, FewCommasStillIdentifiesWithoutAVersion) {
    FakePorts ports;
    ports.replies[3] = "$AIVER,AIS-B-K40,2.0.1*00\r\n";
    FakeDisplay display;
    serial::DeviceFields device;
    EXPECT_EQ(serial::QueryDeviceVersion(ports, 3, display, device), serial::kQueryIdentified);
    EXPECT_TRUE(display.versions.empty());
    EXPECT_EQ(device.DeviceIdentified, 1);
}

TEST(SendBootCommand, WritesTheTwentyTwoBytesWithBootTimeoutsAndNoRead) {
    FakePorts ports;
    serial::SendBootCommand(ports, 261, serial::kBootCommand, serial::kBootCommandLength);
    ASSERT_EQ(ports.exchanges.size(), 1u);
    EXPECT_EQ(ports.exchanges[0].port, 261);
    EXPECT_EQ(ports.exchanges[0].out, "$PDBG,107,1,,,,,,*16\r\n");
    EXPECT_EQ(ports.exchanges[0].out.size(), 22u);
    EXPECT_EQ(ports.exchanges[0].readMax, 0u);
    EXPECT_TRUE(SameTimeouts(ports.exchanges[0].timeouts, serial::CommTimeouts{50, 50, 50, 30, 30}));
}

// No device port, or one that cannot be opened (gone, or held by another
// program): nothing is written, and the send says so.
TEST(SendBootCommand, NoPortOrOneThatDoesNotOpenSendsNothing) {
    for (const int port : {0, 5, 6}) {
        SCOPED_TRACE(port);
        FakePorts ports;
        ports.openErrors[5] = 2;  // ERROR_FILE_NOT_FOUND
        ports.busy.insert(6);
        EXPECT_EQ(serial::DescribeWrite(serial::SendBootCommand(ports, port, serial::kBootCommand, 22), 22),
                  "not sent, the port does not open");
        // One try at the device's port, none without one, and no probe.
        EXPECT_EQ(ports.opened, port == 0 ? std::vector<int>{} : std::vector<int>{port});
        EXPECT_TRUE(ports.probed.empty());
    }
}

// The log says "sent" only when every byte went out.
TEST(SendBootCommand, WhatTheLogSaysOfTheWrite) {
    const struct {
        serial::Exchanged exchanged;
        const char* said;
    } rows[] = {
        {{true, 22, 0}, "sent"},
        {{false, 0, 0}, "not sent, the port does not open"},
        {{true, 0, 1167}, "not sent, the write failed (Windows error 1167)"},
        {{true, 9, 0}, "cut: 9 of 22 bytes went out"},
        {{true, 9, 121}, "cut: 9 of 22 bytes went out (Windows error 121)"},
    };
    for (const auto& row : rows) EXPECT_EQ(serial::DescribeWrite(row.exchanged, 22), row.said);
}

}  // namespace
