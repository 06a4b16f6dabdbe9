#include "serial/comm_port_win.h"

#include "serial/com_number.h"

namespace serial {

UniqueHandle OpenComPort(int port) {
    const std::string path = ComDevicePath(port);
    return UniqueHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
}

void ConfigureComPort(HANDLE port, const CommTimeouts& t) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    BuildCommDCBA("baud=115200 parity=n data=8 stop=1", &dcb);
    SetCommState(port, &dcb);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = t.readInterval;
    timeouts.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    timeouts.ReadTotalTimeoutConstant = t.readTotalConstant;
    timeouts.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    timeouts.WriteTotalTimeoutConstant = t.writeTotalConstant;
    SetCommTimeouts(port, &timeouts);
    EscapeCommFunction(port, SETDTR);
    EscapeCommFunction(port, SETRTS);
}

}  // namespace serial
