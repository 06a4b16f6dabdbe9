// Finding the COM ports the transponder may listen on: the present devices
// of the port class with a COM number, kept when they open exclusively now.
#pragma once

#include "serial/device_detection.h"
#include "serial/serial_port_system.h"

namespace serial {

// Rebuilds EnumeratedPorts (ascending) from the friendly names of the
// present devices of the port class. A device whose name cannot be read is
// skipped; the others still count.
void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists);

// Rebuilds OpenablePorts (ascending) from the enumerated ports that open
// exclusively at this moment. Does nothing when none was enumerated.
void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists);

// Rebuilds CandidatePorts: each enumerated port for each equal openable one,
// in the order of the enumerated list.
void SelectCandidatePorts(PortLists& lists);

}  // namespace serial
