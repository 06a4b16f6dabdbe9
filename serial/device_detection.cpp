#include "serial/device_detection.h"

#include "base/log.h"
#include "serial/port_discovery.h"
#include "serial/version_reply.h"

namespace serial {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

void ParseVersionReply(const std::string& line, DetectionDisplay& display) {
    if (auto version = VersionOfReplyLine(line)) display.showDeviceVersion(*version);
}

std::unique_ptr<PendingExchange> SendVersionQuery(SerialPortSystem& system, int port) {
    return system.beginExchange(port, kQueryTimeouts, std::string(kVersionQuery, kVersionQueryLength),
                                kReplyBufferSize);
}

uint8_t QueryDeviceVersion(SerialPortSystem& system, int port, DetectionDisplay& display,
                           DeviceFields& device, QueryFacts* facts) {
    return ReadVersionReply(*SendVersionQuery(system, port), port, display, device, facts);
}

uint8_t ReadVersionReply(PendingExchange& sent, int port, DetectionDisplay& display, DeviceFields& device,
                         QueryFacts* facts) {
    const std::string com = ComName(port);
    const std::string query(kVersionQuery, kVersionQueryLength);
    std::string received;
    const Exchanged exchanged = sent.end(received);
    if (facts) *facts = QueryFacts{exchanged.opened ? 0 : exchanged.openError, false};
    if (!exchanged.opened) {
        display.report(com + ": the port does not open for the query" +
                       (IsHeldPortError(exchanged.openError)
                            ? ": another program holds it (Windows error " + std::to_string(exchanged.openError) + ")"
                            : std::string()));
        return kQueryOpenFailed;
    }
    if (exchanged.writeError != 0 || exchanged.written != query.size())
        display.report(com + ": version query " + DescribeWrite(exchanged, query.size()));
    // One read holds at most the buffer's worth.
    if (received.size() > kReplyBufferSize) received.resize(kReplyBufferSize);
    if (received.empty()) {
        display.report(com + ": no answer to the version query");
        return kQueryNoDevice;
    }
    const std::size_t quoted = display.bytesToReport();
    const std::string heard = com + ": received " + std::to_string(received.size()) + " bytes " +
                              Quoted(base::PrintableBytes(received.substr(0, quoted))) +
                              (received.size() > quoted ? "..." : "");
    const auto line = EvaluateReply(received);
    if (!line) {
        const bool another = PlainlyAnotherDevice(received);
        if (facts) facts->anotherDevice = another;
        display.report(heard + (another ? ": another device" : ": not the transponder"));
        return kQueryNoDevice;
    }
    const auto version = VersionOfReplyLine(*line);
    display.report(heard + ": the transponder, " +
                   (version ? "version " + Quoted(*version) : std::string("its reply carries no version")));
    ParseVersionReply(*line, display);
    device.DevicePortNumber = port;
    device.DeviceIdentified = 1;
    return kQueryIdentified;
}

Exchanged SendBootCommand(SerialPortSystem& system, int devicePortNumber, const char* bytes, std::size_t length) {
    if (devicePortNumber == 0) return Exchanged{};
    std::string ignored;
    return system.exchange(devicePortNumber, kBootTimeouts, std::string(bytes, length), 0, ignored);
}

std::string DescribeWrite(const Exchanged& exchanged, std::size_t length) {
    if (!exchanged.opened) return "not sent, the port does not open";
    if (exchanged.writeError != 0 && exchanged.written == 0)
        return "not sent, the write failed (Windows error " + std::to_string(exchanged.writeError) + ")";
    if (exchanged.written < length)
        return "cut: " + std::to_string(exchanged.written) + " of " + std::to_string(length) + " bytes went out" +
               (exchanged.writeError != 0 ? " (Windows error " + std::to_string(exchanged.writeError) + ")" : "");
    return "sent";
}

}  // namespace serial
