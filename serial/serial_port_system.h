// What the serial link asks of Windows: the present devices of the port
// class, an exclusive open test, and one configured exchange on a port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// Time-outs of one exchange, in milliseconds, as SetCommTimeouts takes them.
struct CommTimeouts {
    uint32_t readInterval;
    uint32_t readTotalMultiplier;
    uint32_t readTotalConstant;
    uint32_t writeTotalMultiplier;
    uint32_t writeTotalConstant;
};

inline constexpr CommTimeouts kQueryTimeouts{1, 3, 2, 30, 50};
inline constexpr CommTimeouts kBootTimeouts{50, 50, 50, 30, 30};

class SerialPortSystem {
public:
    virtual ~SerialPortSystem() = default;
    // Friendly names of the present devices of the serial port class, in
    // enumeration order; an entry is empty when that device's name could
    // not be read. False when the class itself cannot be opened.
    virtual bool listFriendlyNames(std::vector<std::optional<std::string>>& names) = 0;
    // Opens \\.\COMn exclusively (overlapped) and closes it at once.
    virtual bool canOpenExclusive(int port) = 0;
    // Opens \\.\COMn exclusively for synchronous use, sets 115200 8N1 and the
    // given time-outs, raises DTR then RTS, writes `out` in one write and,
    // when readMax > 0, reads once up to readMax bytes into `in`. Closes the
    // port before returning. False when the port cannot be opened.
    virtual bool exchange(int port, const CommTimeouts& timeouts, const std::string& out,
                          std::size_t readMax, std::string& in) = 0;
};

// The serial ports of this Windows machine (serial/*_win.cpp).
std::unique_ptr<SerialPortSystem> makeSystemSerialPorts();

}  // namespace serial
