// Opening and driving a COM port through the Win32 communications calls.
#pragma once

#include <cstddef>
#include <string>

#include "serial/handles_win.h"
#include "serial/serial_port_system.h"

namespace serial {

// CreateFileA on "\\.\COMn", read and write, no sharing, OPEN_EXISTING,
// FILE_FLAG_OVERLAPPED, so that a write or read given up can be cancelled.
// When the handle is not valid, GetLastError() tells why.
UniqueHandle OpenComPort(int port);

// 115200 8N1 from the port's current settings, the time-outs, DTR then RTS.
// Failures are not reported: the device decides by answering or not.
void ConfigureComPort(HANDLE port, const CommTimeouts& timeouts);

}  // namespace serial
