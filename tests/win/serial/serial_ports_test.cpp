// The serial link against simulated transponders on pseudo-terminals,
// prepared by tests/scripts/serial_ports.sh (see ports.reg for the devices).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "serial/comm_port_win.h"
#include "serial/device_detection.h"
#include "serial/port_call.h"
#include "serial/port_discovery.h"
#include "serial/version_reply.h"

namespace {

using serial::PortLists;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

// What a simulator wrote so far into <records>\portN<suffix> (not comN:
// Windows reads that name as the device COMn): ".bin" the bytes it
// received, ".line" each request with the line settings it came at.
std::string Record(int port, const char* suffix = ".bin") {
    std::ifstream in(Env("WZ_SERIAL_RECORDS") + "\\port" + std::to_string(port) + suffix, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
std::string Received(int port) { return Record(port); }
std::string Lines(int port) { return Record(port, ".line"); }

// The record once it has reached `length`, or as it is after 5 s.
std::string WaitRecord(int port, std::size_t length, const char* suffix = ".bin") {
    std::string bytes;
    for (int i = 0; i < 500; ++i) {
        bytes = Record(port, suffix);
        if (bytes.size() >= length) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return bytes;
}
std::string WaitReceived(int port, std::size_t length) { return WaitRecord(port, length); }

class Display final : public serial::DetectionDisplay {
public:
    void showProgress(int32_t percent) override { shown.push_back(percent); }
    void showDeviceVersion(const std::string& v) override { version = v; }
    void answerSystem() override {}
    std::vector<int32_t> shown;
    std::string version;
};

class SerialOnWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("WZ_SERIAL_RECORDS").empty()) GTEST_SKIP() << "run by tests/scripts/serial_ports.sh";
        ports = serial::makeSystemSerialPorts();
    }
    std::unique_ptr<serial::SerialPortSystem> ports;
};

// Through the program's own device records: SetupAPI lists nothing for a
// record whose cbSize is not this build's size.
TEST_F(SerialOnWine, DiscoveryListsRegisteredPortsAndLeavesOutTheHeldOne) {
    std::vector<serial::PortDevice> devices;
    ASSERT_TRUE(ports->listPortDevices(devices));
    ASSERT_EQ(devices.size(), 9u);
    auto withId = [&](const std::string& id) {
        for (const auto& d : devices)
            if (d.instanceId == id) return d;
        ADD_FAILURE() << "no device " << id;
        return serial::PortDevice{};
    };
    EXPECT_EQ(withId("ROOT\\PORTS\\0000").friendlyName, std::optional<std::string>("USB Serial Port (COM3)"));
    EXPECT_EQ(withId("ROOT\\PORTS\\0007").friendlyName, std::nullopt);  // registered without a friendly name
    const auto bluetooth =
        withId("BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A1B3C4D&0&0012A3B4C5D6_C00000000");
    EXPECT_EQ(bluetooth.friendlyName, std::optional<std::string>("Standard Serial over Bluetooth link (COM11)"));

    PortLists lists;
    serial::EnumeratePortNumbers(*ports, lists);
    EXPECT_EQ(lists.EnumeratedPorts, (std::vector<int>{3, 5, 7, 9, 261}));  // not the Bluetooth COM11
    serial::ProbeOpenablePorts(*ports, lists);
    EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3, 5, 7, 261}));  // COM9 is in use elsewhere
    serial::SelectCandidatePorts(lists);
    EXPECT_EQ(lists.CandidatePorts, (std::vector<int>{3, 5, 7, 261}));
}

TEST_F(SerialOnWine, DetectionStopsAtTheSecondCandidateAndTheWireCarriesExactSentences) {
    std::string before[4] = {Received(3), Received(5), Received(7), Received(261)};
    const std::string linesBefore[2] = {Lines(3), Lines(5)};
    PortLists lists;
    Display display;
    serial::DeviceFields device;
    serial::DetectDeviceVersion(*ports, lists, display, device);

    EXPECT_EQ(lists.CandidatePorts, (std::vector<int>{3, 5, 7, 261}));
    EXPECT_EQ(device.DevicePortNumber, 5);
    EXPECT_EQ(device.DeviceIdentified, 1);
    EXPECT_EQ(display.version, "2.0.1");
    EXPECT_EQ(display.shown, (std::vector<int32_t>{20, 40, 100}));  // in turn: the held COM9 done, COM3, then found

    const std::string query(serial::kVersionQuery, serial::kVersionQueryLength);
    EXPECT_EQ(Received(3), before[0] + query);  // the silent one was asked first
    EXPECT_EQ(Received(5), before[1] + query);

    const std::string boot(serial::kBootCommand, serial::kBootCommandLength);
    serial::SendBootCommand(*ports, device.DevicePortNumber, boot.data(), boot.size());
    const std::string expected = before[1] + query + boot;
    EXPECT_EQ(WaitReceived(5, expected.size()), expected);

    // Each exchange set the line itself: the simulators put it back to
    // 9600 baud, even parity, 2 stop bits after every request.
    const std::string queried = linesBefore[0] + "query 115200 8N1\n";
    EXPECT_EQ(WaitRecord(3, queried.size(), ".line"), queried);
    const std::string booted = linesBefore[1] + "query 115200 8N1\nboot 115200 8N1\n";
    EXPECT_EQ(WaitRecord(5, booted.size(), ".line"), booted);

    // Later candidates were never opened for a query.
    EXPECT_EQ(Received(7), before[2]);
    EXPECT_EQ(Received(261), before[3]);
}

TEST_F(SerialOnWine, PortAbove255IsQueriedByItsWholeNumber) {
    Display display;
    serial::DeviceFields device;
    const std::string before = Received(261);
    EXPECT_EQ(serial::QueryDeviceVersion(*ports, 261, display, device), serial::kQueryIdentified);
    EXPECT_EQ(device.DevicePortNumber, 261);
    EXPECT_EQ(display.version, "2.6.1");
    const std::string expected = before + std::string(serial::kVersionQuery, serial::kVersionQueryLength);
    EXPECT_EQ(WaitReceived(261, expected.size()), expected);
}

TEST_F(SerialOnWine, UnopenablePortGivesOpenFailure) {
    Display display;
    serial::DeviceFields device;
    EXPECT_EQ(serial::QueryDeviceVersion(*ports, 9, display, device), serial::kQueryOpenFailed);
    EXPECT_EQ(serial::QueryDeviceVersion(*ports, 11, display, device), serial::kQueryOpenFailed);
    EXPECT_EQ(device.DevicePortNumber, 0);
}

// The port as the exchange leaves it, read back through the same records.
TEST_F(SerialOnWine, ConfiguredPortReads115200And8N1AndTheTimeOuts) {
    for (const serial::CommTimeouts& t : {serial::kQueryTimeouts, serial::kBootTimeouts}) {
        serial::UniqueHandle port = serial::OpenComPort(5);
        ASSERT_TRUE(port.valid());
        serial::ConfigureComPort(port.get(), t);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(port.get(), &dcb));
        EXPECT_EQ(dcb.BaudRate, 115200u);
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        COMMTIMEOUTS read{};
        ASSERT_TRUE(GetCommTimeouts(port.get(), &read));
        EXPECT_EQ(read.ReadIntervalTimeout, t.readInterval);
        EXPECT_EQ(read.ReadTotalTimeoutMultiplier, t.readTotalMultiplier);
        EXPECT_EQ(read.ReadTotalTimeoutConstant, t.readTotalConstant);
        EXPECT_EQ(read.WriteTotalTimeoutMultiplier, t.writeTotalMultiplier);
        EXPECT_EQ(read.WriteTotalTimeoutConstant, t.writeTotalConstant);
    }
}

TEST_F(SerialOnWine, SilentPortCostsAboutTheReadTimeout) {
    Display display;
    serial::DeviceFields device;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(serial::QueryDeviceVersion(*ports, 3, display, device), serial::kQueryNoDevice);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("silent port took %lld ms (read time-out 902 ms)\n", static_cast<long long>(ms));
    // Generous: open, configure and close under Wine add their own share.
    EXPECT_LT(ms, 902 + 1500);
}

// A call given up while its read waits on a silent port ends at once (its
// read cancelled), not when its 5 s run out, and the port is free after it.
TEST_F(SerialOnWine, GivenUpExchangeEndsAtOnceAndFreesThePort) {
    const auto call = std::make_shared<serial::PortCall>();
    std::string in;
    std::chrono::steady_clock::time_point ended;
    std::thread asking([&] {
        const serial::PortCall::InHand inHand(call);
        EXPECT_TRUE(ports->exchange(3, serial::CommTimeouts{0, 0, 5000, 30, 50}, "?", 300, in).opened);
        ended = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopped = std::chrono::steady_clock::now();
    call->stop(), asking.join();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - stopped).count(), 1000);
    EXPECT_EQ(ports->openExclusive(3), serial::kPortOpened);
    const serial::PortCall::InHand inHand(call);  // given up before it began: nothing is opened
    EXPECT_EQ(ports->exchange(3, serial::kQueryTimeouts, "?", 300, in).openError, serial::kErrorOpenGivenUp);
}

// A silent port's read left under way, given up, ends at once, its port
// free. (Its reply taken with no thread waiting is what every search of the
// whole wizard does.)
TEST_F(SerialOnWine, ReadLeftUnderWayEndsWhenGivenUp) {
    const auto endsWithin = [](serial::PendingExchange& read, int ms) {
        const auto by = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!read.ended() && std::chrono::steady_clock::now() < by)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return read.ended();
    };
    const auto call = std::make_shared<serial::PortCall>();
    std::unique_ptr<serial::PendingExchange> silent;
    {
        const serial::PortCall::InHand inHand(call);
        silent = ports->beginExchange(3, serial::CommTimeouts{0, 0, 5000, 30, 50}, "?", 300);
    }
    EXPECT_FALSE(endsWithin(*silent, 300));
    call->stop();
    EXPECT_TRUE(endsWithin(*silent, 1000)) << "the read was not cancelled";
    std::string in;
    EXPECT_TRUE(silent->end(in).opened);
    EXPECT_EQ(ports->openExclusive(3), serial::kPortOpened);
}

}  // namespace
