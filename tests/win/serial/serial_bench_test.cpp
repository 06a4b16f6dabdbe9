// Not a test: bench/serial_identify.sh runs it to time one detection.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "serial/device_detection.h"
#include "serial/port_crew.h"

namespace {

class QuietDisplay final : public serial::DetectionDisplay {
public:
    void showProgress(int32_t) override {}
    void showDeviceVersion(const std::string&) override {}
    void answerSystem() override {}
};

TEST(SerialBench, DISABLED_IdentifyOnce) {
    auto ports = serial::makeSystemSerialPorts();
    serial::PortLists lists;
    QuietDisplay display;
    serial::DeviceFields device;
    // The ports asked together, as Start asks them.
    serial::PortCrew crew(*ports, serial::PortCrew::Options{});
    const auto start = std::chrono::steady_clock::now();
    serial::DetectDeviceVersion(*ports, lists, display, device, &crew);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("identify_ms=%lld port=%d candidates=%zu\n", static_cast<long long>(ms), device.DevicePortNumber,
                lists.CandidatePorts.size());
}

}  // namespace
