#include "serial/port_discovery.h"

#include <algorithm>

#include "serial/com_number.h"

namespace serial {

namespace {
// ASCII only, whatever the locale: instance IDs are ASCII.
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void Report(DetectionDisplay* display, const std::string& line) {
    if (display) display->report(line);
}

std::string OpenResult(uint32_t error) {
    if (error == kPortOpened) return "opens";
    const std::string failed = "does not open (Windows error " + std::to_string(error) + ")";
    return IsHeldPortError(error) ? failed + ": held by another program" : failed;
}
}  // namespace

bool IsBluetoothPort(const std::optional<std::string>& instanceId) {
    if (!instanceId) return false;
    static const std::string kBluetoothEnumerator = "BTHENUM";
    const std::string enumerator = instanceId->substr(0, instanceId->find('\\'));
    return std::equal(enumerator.begin(), enumerator.end(), kBluetoothEnumerator.begin(),
                      kBluetoothEnumerator.end(), [](char a, char b) { return UpperAscii(a) == b; });
}

std::string ComName(int port) { return "COM" + std::to_string(port); }

bool IsHeldPortError(uint32_t error) {
    return error == kErrorAccessDenied || error == kErrorSharingViolation || error == kErrorBusy;
}

void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists, DetectionDisplay* display) {
    lists.EnumeratedPorts.clear();
    lists.PortNames.clear();
    lists.BusyPorts.clear();
    std::vector<PortDevice> devices;
    if (!system.listPortDevices(devices)) {
        Report(display, "ports: the port class cannot be listed");
        return;
    }
    Report(display, "ports: " + std::to_string(devices.size()) + " devices in the port class");
    for (const auto& device : devices) {
        if (!device.friendlyName) {  // unreadable name: this device only is left out
            Report(display, "port without a readable name: left out");
            continue;
        }
        const std::string& name = *device.friendlyName;
        if (IsBluetoothPort(device.instanceId)) {
            Report(display, "port \"" + name + "\": Bluetooth, left out");
            continue;
        }
        const int32_t port = ComNumberOfFriendlyName(name.c_str());
        if (port == 0) {
            Report(display, "port \"" + name + "\": no COM number");
            continue;
        }
        lists.EnumeratedPorts.push_back(port);
        lists.PortNames.emplace(port, name);
    }
    std::stable_sort(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end());
}

void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists, DetectionDisplay* display) {
    if (lists.EnumeratedPorts.empty()) return;
    lists.OpenablePorts.clear();
    lists.BusyPorts.clear();
    for (int port : lists.EnumeratedPorts) {
        if (display) display->answerSystem();
        if (display && !display->searchGoesOn()) break;
        const uint32_t result = system.openExclusive(port);
        if (result == kPortOpened) lists.OpenablePorts.push_back(port);
        if (IsHeldPortError(result)) lists.BusyPorts.push_back(port);
        Report(display, PortForLog(lists, port) + ": " + OpenResult(result));
    }
    std::stable_sort(lists.OpenablePorts.begin(), lists.OpenablePorts.end());
    std::stable_sort(lists.BusyPorts.begin(), lists.BusyPorts.end());
}

void SelectCandidatePorts(PortLists& lists) {
    lists.CandidatePorts.clear();
    for (int e : lists.EnumeratedPorts) {
        for (int o : lists.OpenablePorts) {
            if (e == o) lists.CandidatePorts.push_back(e);
        }
    }
}

std::vector<std::string> BusyPortNames(const PortLists& lists) {
    std::vector<std::string> names;
    for (auto it = lists.BusyPorts.begin(); it != lists.BusyPorts.end(); ++it) {
        if (it != lists.BusyPorts.begin() && *it == *(it - 1)) continue;
        const std::string com = ComName(*it);
        const auto found = lists.PortNames.find(*it);
        std::string device = found == lists.PortNames.end() ? std::string() : found->second;
        const std::string suffix = " (" + com + ")";
        if (device.size() >= suffix.size() && device.compare(device.size() - suffix.size(), suffix.size(), suffix) == 0)
            device.erase(device.size() - suffix.size());
        names.push_back(device.empty() || device == com ? com : com + " (" + device + ")");
    }
    return names;
}

std::string PortForLog(const PortLists& lists, int port) {
    const auto found = lists.PortNames.find(port);
    return found == lists.PortNames.end() ? ComName(port) : ComName(port) + " \"" + found->second + "\"";
}

}  // namespace serial
