// Replies of simulated transponders as one Wine read sees them, prepared by
// tests/scripts/serial_replies.sh (one simulator per port, see there).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "serial/device_detection.h"

namespace {

class Display final : public serial::DetectionDisplay {
public:
    void showProgress(int32_t) override {}
    void showDeviceVersion(const std::string& v) override { versions.push_back(v); }
    void answerSystem() override {}
    std::vector<std::string> versions;
};

struct ReplyCase {
    int port;
    const char* device;
    uint8_t result;
    std::vector<std::string> versions;  // what the labels were given
};

TEST(SerialRepliesOnWine, OneReadDecides) {
    if (std::getenv("WZ_SERIAL_REPLIES") == nullptr) GTEST_SKIP() << "run by tests/scripts/serial_replies.sh";
    const ReplyCase cases[] = {
        {2, "pause of 100 ms after 10 bytes", serial::kQueryNoDevice, {}},
        {3, "300 bytes of other output first", serial::kQueryNoDevice, {}},
        {4, "another model", serial::kQueryNoDevice, {}},
        {5, "model text in a later sentence", serial::kQueryIdentified, {"2.0.1"}},
        {6, "fewer than ten commas", serial::kQueryIdentified, {}},
        {7, "25-character version", serial::kQueryIdentified, {"V2.0.1-build.0042-r"}},
        {8, "200 bytes of other output first", serial::kQueryIdentified, {"2.0.1"}},
        {9, "answer after 300 ms", serial::kQueryIdentified, {"2.0.1"}},
    };
    auto ports = serial::makeSystemSerialPorts();
    for (const ReplyCase& c : cases) {
        Display display;
        serial::DeviceFields device;
        EXPECT_EQ(serial::QueryDeviceVersion(*ports, c.port, display, device), c.result) << c.device;
        EXPECT_EQ(display.versions, c.versions) << c.device;
        EXPECT_EQ(device.DevicePortNumber, c.result == serial::kQueryIdentified ? c.port : 0) << c.device;
    }
}

}  // namespace
