// Finding the COM ports the transponder may listen on: the present devices
// of the port class with a COM number, kept when they open exclusively now.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/device_detection.h"
#include "serial/serial_port_system.h"

namespace serial {

// True when a paired Bluetooth device is behind the port: the enumerator
// of its instance ID, the part before the first '\', is BTHENUM in any
// case. Opening such a port makes Windows call the paired device, which
// blocks for seconds; the transponder is connected by USB, so it is never
// one of them. An ID that could not be read (none) is not Bluetooth.
bool IsBluetoothPort(const std::optional<std::string>& instanceId);

// "COM4": the name Windows gives the port.
std::string ComName(int port);

// True for the errors with which an exclusive open fails while another
// program (chart plotter or navigation software, a terminal) holds the
// port: access denied, sharing violation or busy, as its driver has it.
bool IsHeldPortError(uint32_t error);

// Rebuilds EnumeratedPorts (ascending) and PortNames from the friendly
// names of the present devices of the port class, and empties BusyPorts. A
// device whose name cannot be read is skipped, and so is a Bluetooth port;
// the others still count. Each device left out is reported to `display`.
void EnumeratePortNumbers(SerialPortSystem& system, PortLists& lists, DetectionDisplay* display = nullptr);

// Rebuilds OpenablePorts and BusyPorts (ascending) from the enumerated
// ports that open exclusively at this moment, and those held by another
// program. With a display, it answers the system before each try and hears
// each result. Does nothing when none was enumerated.
void ProbeOpenablePorts(SerialPortSystem& system, PortLists& lists, DetectionDisplay* display = nullptr);

// Rebuilds CandidatePorts: each enumerated port for each equal openable one,
// in the order of the enumerated list.
void SelectCandidatePorts(PortLists& lists);

// The busy ports as the user knows them, once each: the port, then the
// device's name without its "(COMn)", as in "COM4 (USB Serial Port)".
std::vector<std::string> BusyPortNames(const PortLists& lists);

// "COM4 "USB Serial Port (COM4)"": a port and its friendly name, for the log.
std::string PortForLog(const PortLists& lists, int port);

}  // namespace serial
