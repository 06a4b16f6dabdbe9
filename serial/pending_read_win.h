// The read of an exchange left under way on its port: it waits on no
// thread, and is cancelled with CancelIoEx when its call is given up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "serial/handles_win.h"
#include "serial/port_call.h"
#include "serial/serial_port_system.h"

namespace serial {

class PendingReadWin final : public PendingExchange {
public:
    // Reads up to `readMax` bytes from `port` (opened overlapped), which it
    // owns from now on; `sent` tells how the open and the write went. A
    // stop of `call` cancels the read.
    PendingReadWin(std::shared_ptr<PortCall> call, UniqueHandle port, Exchanged sent, std::size_t readMax);
    ~PendingReadWin() override;
    PendingReadWin(const PendingReadWin&) = delete;
    PendingReadWin& operator=(const PendingReadWin&) = delete;

    bool ended() override;
    void awaitEnd(std::chrono::milliseconds most) override;
    Exchanged end(std::string& in) override;

private:
    // Waits for the read (cancelled first when `cancel`), then closes.
    void finish(bool cancel);

    std::shared_ptr<PortCall> call_;
    UniqueHandle port_;
    UniqueHandle event_;  // set once the read has ended, or when none began
    OVERLAPPED overlapped_{};
    std::vector<char> buffer_;
    Exchanged sent_;
    DWORD got_ = 0;
    bool reading_ = false;
};

}  // namespace serial
