#include "serial/port_discovery.h"

#include <algorithm>

#include "serial/com_number.h"

namespace serial {

void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists) {
    lists.EnumeratedPorts.clear();
    std::vector<std::optional<std::string>> names;
    if (!system.listFriendlyNames(names)) return;
    for (const auto& name : names) {
        if (!name) continue;  // unreadable name: this device only is left out
        const int32_t port = ComNumberOfFriendlyName(name->c_str());
        if (port != 0) lists.EnumeratedPorts.push_back(port);
    }
    std::stable_sort(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end());
}

void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists) {
    if (lists.EnumeratedPorts.empty()) return;
    lists.OpenablePorts.clear();
    for (int port : lists.EnumeratedPorts) {
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
