// The port worker and its calls: each call on the worker's thread, no thread
// before the first call, and a call given up is cancelled.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/port_call.h"
#include "serial/port_worker.h"
#include "serial_fakes.h"

namespace {

using serial_test::FakePorts;
using serial_test::WaitFor;

// The port worker: each call runs on its thread while the window's thread
// waits, and the worker is busy meanwhile. (A worker whose job hangs:
// FaultsPortHangs.)
TEST(PortWorker, RunsEachCallOnItsThreadAndIsBusyMeanwhile) {
    struct Threads final : serial::SerialPortSystem {
        bool listPortDevices(std::vector<serial::PortDevice>&) override { return seen(), true; }
        uint32_t openExclusive(int) override { return seen(), serial::kPortOpened; }
        serial::Exchanged exchange(int, const serial::CommTimeouts&, const std::string&, std::size_t,
                                   std::string&) override {
            seen();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return {true, 1, 0, 0};
        }
        void seen() { ids.push_back(std::this_thread::get_id()); }
        std::vector<std::thread::id> ids;
    } ports;
    bool busySeen = false;
    std::unique_ptr<serial::OffThreadPorts> off;
    off = std::make_unique<serial::OffThreadPorts>(
        ports,
        [&](const std::function<bool()>& done) {
            while (!done()) {
                busySeen = busySeen || !off->worker().idle();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        },
        base::SteadyNow);
    std::vector<serial::PortDevice> devices;
    std::string in;
    off->listPortDevices(devices);
    off->openExclusive(3);
    off->exchange(3, serial::kQueryTimeouts, "q", 10, in);
    ASSERT_EQ(ports.ids.size(), 3u);
    for (const auto id : ports.ids) EXPECT_TRUE(id == ports.ids[0] && id != std::this_thread::get_id());
    EXPECT_TRUE(busySeen);
    EXPECT_TRUE(off->worker().idle());
}

// The window's start makes no port call, and a thread started with it keeps
// the window that much longer from the screen: the worker's thread comes
// with the first call or look.
TEST(PortWorker, NoThreadBeforeTheFirstCallOrLook) {
    const auto threads = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}); };
    FakePorts fake;
    // Threads of earlier tests may end meanwhile and hide one that starts:
    // a try counts when the first call is seen to start one.
    std::vector<std::unique_ptr<serial::OffThreadPorts>> tries;
    bool seen = false;
    for (int i = 0; i < 3 && !seen; ++i) {
        const auto before = threads();
        tries.push_back(std::make_unique<serial::OffThreadPorts>(
            fake, [](const std::function<bool()>& done) { while (!done()) std::this_thread::yield(); },
            base::SteadyNow));
        const auto made = threads();
        EXPECT_LE(made, before) << "a thread started with the ports";
        std::vector<serial::PortDevice> devices;
        tries.back()->listPortDevices(devices);
        seen = threads() > made;
    }
    EXPECT_TRUE(seen) << "the first call started no thread that could be counted";
}

// A job given up: its call in hand is cancelled (the fake's driver lets it
// go), and the job makes no further call.
TEST(PortWorker, AJobGivenUpIsCancelledAndMakesNoFurtherCall) {
    FakePorts fake;
    fake.hangPort = 5, fake.cancellable = true;
    serial::PortWorker worker(fake);
    std::string in;
    worker.post([&in](serial::SerialPortSystem& p) { p.exchange(5, {}, "q", 1, in), p.exchange(7, {}, "q", 1, in); });
    ASSERT_TRUE(WaitFor([&] { return fake.inFlight() == 1; }));
    worker.leave();
    EXPECT_TRUE(WaitFor([&] { return worker.idle(); })) << "the hung call was not cancelled";
    fake.settle();
    EXPECT_EQ(fake.queried(), std::vector<int>{5});
}

// A call given up before it reached its driver is cancelled as it gets there.
TEST(PortCall, GivenUpBeforeItsDriverIsCancelledThere) {
    serial::PortCall call;
    bool cancelled = false;
    call.stop(), call.whileInDriver([&] { cancelled = true; });
    EXPECT_TRUE(cancelled);
}

}  // namespace
