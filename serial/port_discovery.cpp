#include "serial/port_discovery.h"

#include <algorithm>

#include "serial/com_number.h"

namespace serial {

namespace {
// ASCII only, whatever the locale: instance IDs are ASCII.
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool IsBluetoothPort(const std::optional<std::string>& instanceId) {
    if (!instanceId) return false;
    static const std::string kBluetoothEnumerator = "BTHENUM";
    const std::string enumerator = instanceId->substr(0, instanceId->find('\\'));
    return std::equal(enumerator.begin(), enumerator.end(), kBluetoothEnumerator.begin(),
                      kBluetoothEnumerator.end(), [](char a, char b) { return UpperAscii(a) == b; });
}

void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists) {
    lists.EnumeratedPorts.clear();
    std::vector<PortDevice> devices;
    if (!system.listPortDevices(devices)) return;
    for (const auto& device : devices) {
        if (!device.friendlyName) continue;  // unreadable name: this device only is left out
        if (IsBluetoothPort(device.instanceId)) continue;
        const int32_t port = ComNumberOfFriendlyName(device.friendlyName->c_str());
        if (port != 0) lists.EnumeratedPorts.push_back(port);
    }
    std::stable_sort(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end());
}

void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists, const std::function<void()>& beforeEachOpen) {
    if (lists.EnumeratedPorts.empty()) return;
    lists.OpenablePorts.clear();
    for (int port : lists.EnumeratedPorts) {
        if (beforeEachOpen) beforeEachOpen();
        if (system.canOpenExclusive(port)) lists.OpenablePorts.push_back(port);
    }
    std::stable_sort(lists.OpenablePorts.begin(), lists.OpenablePorts.end());
}

void SelectCandidatePorts(PortLists& lists) {
    lists.CandidatePorts.clear();
    for (int e : lists.EnumeratedPorts) {
        for (int o : lists.OpenablePorts) {
            if (e == o) lists.CandidatePorts.push_back(e);
        }
    }
}

}  // namespace serial
