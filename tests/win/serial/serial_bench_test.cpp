// Not a test: bench/serial_identify.sh runs it to time one detection.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "serial/device_detection.h"

namespace {

class QuietDisplay final : public serial::DetectionDisplay {
public:
    int progressPosition() override { return position; }
    void showProgress(int32_t p) override { position = p < 0 ? 0 : (p > 100 ? 100 : p); }
    void showDeviceVersion(const std::string&) override {}
    void answerSystem() override {}
    int position = 0;
};

TEST(SerialBench, DISABLED_IdentifyOnce) {
    auto ports = serial::makeSystemSerialPorts();
    serial::PortLists lists;
    QuietDisplay display;
    serial::DeviceFields device;
    const auto start = std::chrono::steady_clock::now();
    serial::DetectDeviceVersion(*ports, lists, display, device);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("identify_ms=%lld port=%d candidates=%zu\n", static_cast<long long>(ms), device.DevicePortNumber,
                lists.CandidatePorts.size());
}

}  // namespace
