// What the serial link asks of Windows: the present devices of the port
// class, an exclusive open test, and one configured exchange on a port.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
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

// What an open of a port gives: 0 when it opened, otherwise the Windows
// error. A port that another program holds open fails with one of these,
// depending on its driver.
inline constexpr uint32_t kPortOpened = 0;
inline constexpr uint32_t kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr uint32_t kErrorSharingViolation = 32;  // ERROR_SHARING_VIOLATION
inline constexpr uint32_t kErrorBusy = 170;             // ERROR_BUSY
// A call whose port hung until the user chose to leave: the wait for it was
// given up (ERROR_OPERATION_ABORTED).
inline constexpr uint32_t kErrorOpenGivenUp = 995;

// One present device of the serial port class, as far as it could be read.
struct PortDevice {
    std::optional<std::string> friendlyName;  // "USB Serial Port (COM7)"; none when unreadable
    std::optional<std::string> instanceId;    // "USB\VID_0403&PID_6001\A1B2"; none when unreadable
};

// How one exchange went.
struct Exchanged {
    bool opened = false;      // false: the port did not open and nothing went out
    std::size_t written = 0;  // bytes the write took
    uint32_t writeError = 0;  // Windows' error of a write that failed; 0 when it did not fail
    uint32_t openError = 0;   // Windows' error of the open when it failed; 0 when it opened
};

// An exchange whose read is under way: the port stays open until end().
class PendingExchange {
public:
    // A read not ended by end() is cancelled, and waited for, and the
    // port closed: that may wait on its driver.
    virtual ~PendingExchange() = default;
    // True once the read has ended (or there was none); never waits.
    virtual bool ended() = 0;
    // Returns once the read has ended, or after `most`. It may be called
    // on another thread than end(), and while end() runs.
    virtual void awaitEnd(std::chrono::milliseconds most);
    // The exchange's outcome and the bytes read; closes the port. Waits
    // for the read when it has not ended.
    virtual Exchanged end(std::string& in) = 0;
};

// An exchange already whole.
class EndedExchange final : public PendingExchange {
public:
    EndedExchange(Exchanged result, std::string in) : result_(result), in_(std::move(in)) {}
    bool ended() override { return true; }
    Exchanged end(std::string& in) override {
        in = std::move(in_);
        return result_;
    }

private:
    Exchanged result_;
    std::string in_;
};

class SerialPortSystem {
public:
    virtual ~SerialPortSystem() = default;
    // The present devices of the serial port class, in enumeration order,
    // each with its friendly name and its device instance ID. False when
    // the class itself cannot be opened.
    virtual bool listPortDevices(std::vector<PortDevice>& devices) = 0;
    // Opens \\.\COMn exclusively (overlapped) and closes it at once:
    // kPortOpened, or the Windows error of the failed open (never 0).
    virtual uint32_t openExclusive(int port) = 0;
    // Opens \\.\COMn exclusively for synchronous use, sets 115200 8N1 and the
    // given time-outs, raises DTR then RTS, writes `out` in one write and,
    // when readMax > 0, reads once up to readMax bytes into `in`. Closes the
    // port before returning. The read follows even when the write failed.
    virtual Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out,
                          std::size_t readMax, std::string& in) = 0;
    // What exchange() does, but its read is left under way: the caller's
    // thread is free meanwhile, and may begin others. That thread must not
    // end before the read has ended: Windows cancels the reads of a thread
    // that ends. By default the whole exchange is made here.
    virtual std::unique_ptr<PendingExchange> beginExchange(int port, const CommTimeouts& timeouts,
                                                           const std::string& out, std::size_t readMax);
    // Starts `body` on a detached thread for the calls of one port, with
    // the small stack they need; false when the system refuses one.
    virtual bool startPortThread(std::function<void()> body);
};

// The serial ports of this Windows machine (serial/*_win.cpp).
std::unique_ptr<SerialPortSystem> makeSystemSerialPorts();

}  // namespace serial
