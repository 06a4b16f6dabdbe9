#include "serial/device_detection.h"

#include "serial/port_discovery.h"
#include "serial/version_reply.h"

namespace serial {

void ParseVersionReply(const std::string& line, DetectionDisplay& display) {
    if (auto version = VersionOfReplyLine(line)) display.showDeviceVersion(*version);
}

uint8_t QueryDeviceVersion(SerialPortSystem& system, int port, DetectionDisplay& display,
                           DeviceFields& device) {
    const std::string query(kVersionQuery, kVersionQueryLength);
    std::string received;
    if (!system.exchange(port, kQueryTimeouts, query, kReplyBufferSize, received)) return kQueryOpenFailed;
    // One read holds at most the buffer's worth.
    if (received.size() > kReplyBufferSize) received.resize(kReplyBufferSize);
    if (received.empty()) return kQueryNoDevice;
    const auto line = EvaluateReply(received);
    if (!line) return kQueryNoDevice;
    ParseVersionReply(*line, display);
    device.DevicePortNumber = port;
    device.DeviceIdentified = 1;
    return kQueryIdentified;
}

void DetectDeviceVersion(SerialPortSystem& system, PortLists& lists, DetectionDisplay& display,
                         DeviceFields& device) {
    EnumeratePortNumbers(system, lists);
    ProbeOpenablePorts(system, lists, [&display] { display.answerSystem(); });
    SelectCandidatePorts(lists);
    const std::size_t n = lists.CandidatePorts.size();
    if (n == 0) {
        display.showProgress(0);
        return;
    }
    const float step = static_cast<float>(100.0 / static_cast<double>(n) + 0.5);
    for (int port : lists.CandidatePorts) {
        const float position = static_cast<float>(display.progressPosition());
        display.showProgress(static_cast<int32_t>(position + step));
        display.answerSystem();
        if (QueryDeviceVersion(system, port, display, device) == kQueryIdentified) {
            display.showProgress(100);
            return;
        }
    }
    display.showProgress(0);
    lists.CandidatePorts.clear();
}

void SendBootCommand(SerialPortSystem& system, int devicePortNumber, const char* bytes, std::size_t length) {
    if (devicePortNumber == 0) return;
    std::string ignored;
    system.exchange(devicePortNumber, kBootTimeouts, std::string(bytes, length), 0, ignored);
}

}  // namespace serial
