#include "serial/device_look.h"

#include <algorithm>
#include <memory>

#include "serial/device_detection.h"
#include "serial/port_crew.h"
#include "serial/port_discovery.h"

namespace serial {

namespace {

// A look every 2 s for minutes: a talkative device must not fill the log.
constexpr std::size_t kQuotedBytes = 40;

// What one port gave its worker.
struct Asked {
    KeptDisplay shown{kQuotedBytes};
    bool identified = false;
    QueryFacts facts;
};

}  // namespace

DeviceLook LookForDevice(SerialPortSystem& system, int knownPort, const std::vector<int>& arrived) {
    DeviceLook look;
    std::vector<int> ports;
    if (knownPort != 0) ports.push_back(knownPort);
    if (!arrived.empty()) {
        // Only ports the class lists, Bluetooth ones left out.
        PortLists lists;
        KeptDisplay listing(kQuotedBytes);
        EnumeratePortNumbers(system, lists, &listing);
        look.seen = std::move(listing.lines);
        for (int port : arrived) {
            const bool listed = std::find(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end(), port) !=
                                lists.EnumeratedPorts.end();
            if (!listed) look.seen.push_back(ComName(port) + ": announced, but not a port to ask");
            if (listed && std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
        }
    }
    // The ports asked side by side, four at once. The look waits
    // for each call, however long its driver takes: the workers call
    // `system`, which lives no longer than the look.
    auto asked = std::make_shared<std::vector<Asked>>(ports.size());
    PortCrew crew(system, PortCrew::Options{{},
                                            base::SteadyNow,
                                            [&system](std::function<void()> body) {
                                                return system.startPortThread(std::move(body));
                                            },
                                            std::chrono::milliseconds(0)});
    crew.ask(ports.size(),
             {[asked, ports](SerialPortSystem& p, std::size_t i) {
                 Asked& a = (*asked)[i];
                 DeviceFields device;
                 a.identified = QueryDeviceVersion(p, ports[i], a.shown, device, &a.facts) == kQueryIdentified;
             }},
             system, [] { return false; }, [] { return false; });
    look.asked = ports;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Asked& a = (*asked)[i];
        look.seen.insert(look.seen.end(), a.shown.lines.begin(), a.shown.lines.end());
        if (a.identified && look.port == 0) {
            look.port = ports[i];
            look.version = a.shown.version;
        }
        if (IsHeldPortError(a.facts.openError)) look.held.push_back(ports[i]);
        if (a.facts.anotherDevice) look.others.push_back(ports[i]);
    }
    return look;
}

}  // namespace serial
