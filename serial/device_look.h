// One look for the transponder after its restart: the version query to the
// port it answered on before and to the ports Windows announced since.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/serial_port_system.h"

namespace serial {

struct DeviceLook {
    int port = 0;                        // where the transponder answered; 0: nowhere
    std::optional<std::string> version;  // the version its reply carried
    std::vector<std::string> seen;       // what each port gave, in order, for the log; a reply quoted in part
    std::vector<int> asked;              // the ports asked, in order
    std::vector<int> held;               // ports whose open another program refused
    std::vector<int> others;             // ports that answered plainly as another device
};

// Asks `knownPort` (0: none) and each port of `arrived` that the port
// class lists and that is not a paired Bluetooth device's, once each, side
// by side on the crew's workers (in turn when no thread can be had),
// and waits for every answer. The transponder is the first port in that
// order that answers as it. A port that does not open (gone while the
// device is in its boot loader, or held by another program) costs one
// failed open; one that another program holds is named in `held`, and one
// whose reply is plainly another device's in `others`.
DeviceLook LookForDevice(SerialPortSystem& system, int knownPort, const std::vector<int>& arrived);

}  // namespace serial
