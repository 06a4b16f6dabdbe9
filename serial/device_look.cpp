#include "serial/device_look.h"

#include <algorithm>

#include "serial/device_detection.h"
#include "serial/port_discovery.h"

namespace serial {

namespace {

// What the query shows, kept for the look instead of the window.
class LookDisplay final : public DetectionDisplay {
public:
    explicit LookDisplay(DeviceLook& look) : look_(look) {}
    int progressPosition() override { return 0; }
    void showProgress(int32_t) override {}
    void showDeviceVersion(const std::string& v) override { look_.version = v; }
    void answerSystem() override {}
    void report(const std::string& line) override { look_.seen.push_back(line); }
    // A look every 2 s for minutes: a talkative device must not fill the log.
    std::size_t bytesToReport() override { return 40; }

private:
    DeviceLook& look_;
};

}  // namespace

DeviceLook LookForDevice(SerialPortSystem& system, int knownPort, const std::vector<int>& arrived) {
    DeviceLook look;
    LookDisplay display(look);
    std::vector<int> ports;
    if (knownPort != 0) ports.push_back(knownPort);
    if (!arrived.empty()) {
        // Only ports the class lists, Bluetooth ones left out.
        PortLists lists;
        EnumeratePortNumbers(system, lists, &display);
        for (int port : arrived) {
            const bool listed = std::find(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end(), port) !=
                                lists.EnumeratedPorts.end();
            if (!listed) look.seen.push_back(ComName(port) + ": announced, but not a port to ask");
            if (listed && std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
        }
    }
    for (int port : ports) {
        DeviceFields device;
        look.version.reset();
        look.asked.push_back(port);
        QueryFacts facts;
        if (QueryDeviceVersion(system, port, display, device, &facts) == kQueryIdentified) {
            look.port = port;
            return look;
        }
        if (IsHeldPortError(facts.openError)) look.held.push_back(port);
        if (facts.anotherDevice) look.others.push_back(port);
    }
    look.version.reset();
    return look;
}

}  // namespace serial
