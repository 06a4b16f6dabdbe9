// Finding the COM ports the transponder may listen on: the present devices
// of the port class with a COM number, kept when they open exclusively now.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "serial/device_detection.h"
#include "serial/serial_port_system.h"

namespace serial {

// True when a paired Bluetooth device is behind the port: the enumerator
// of its instance ID, the part before the first '\', is BTHENUM in any
// case. Opening such a port makes Windows call the paired device, which
// blocks for seconds; the transponder is connected by USB, so it is never
// one of them. An ID that could not be read (none) is not Bluetooth.
bool IsBluetoothPort(const std::optional<std::string>& instanceId);

// Rebuilds EnumeratedPorts (ascending) from the friendly names of the
// present devices of the port class. A device whose name cannot be read is
// skipped, and so is a Bluetooth port; the others still count.
void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists);

// Rebuilds OpenablePorts (ascending) from the enumerated ports that open
// exclusively at this moment, calling `beforeEachOpen` (when given) before
// each try. Does nothing when none was enumerated.
void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists,
                        const std::function<void()>& beforeEachOpen = {});

// Rebuilds CandidatePorts: each enumerated port for each equal openable one,
// in the order of the enumerated list.
void SelectCandidatePorts(PortLists& lists);

}  // namespace serial
