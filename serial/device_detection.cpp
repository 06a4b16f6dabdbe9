// Placeholder until the serial link lands: no device is ever found.
#include "serial/device_detection.h"

namespace serial {

void DetectDeviceVersion(SerialPortSystem&, PortLists& lists, DetectionDisplay& display, DeviceFields&) {
    lists = PortLists{};
    display.showProgress(0);
}

void SendBootCommand(SerialPortSystem&, int, const char*, std::size_t) {}

}  // namespace serial
