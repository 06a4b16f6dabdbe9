// The serial link's exchanges on a thread of their own, so that the
// window's thread never blocks on a port: a silent port holds its caller
// for about a second, a port whose driver hangs for longer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_port_system.h"

namespace serial {

// One thread that runs one job at a time, handed over by one other thread
// (the window's).
class PortWorker {
public:
    PortWorker();
    // Waits for the job in hand, if any (its port is closed when it ends),
    // then the thread ends.
    ~PortWorker();
    PortWorker(const PortWorker&) = delete;
    PortWorker& operator=(const PortWorker&) = delete;

    // Hands `job` to the thread; false, and nothing happens, while an
    // earlier job runs.
    bool post(std::function<void()> job);
    // True while no job runs.
    bool idle() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> job_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;
};

// The serial ports of `ports`, each call made on `worker` while the caller
// waits through `wait` (which returns once the condition holds: the window
// keeps answering meanwhile). A job the worker has in hand (a look of the
// version watch) ends first.
class OffThreadPorts final : public SerialPortSystem {
public:
    using Wait = std::function<void(const std::function<bool()>& done)>;
    OffThreadPorts(SerialPortSystem& ports, PortWorker& worker, Wait wait)
        : ports_(ports), worker_(worker), wait_(std::move(wait)) {}

    bool listPortDevices(std::vector<PortDevice>& devices) override;
    uint32_t openExclusive(int port) override;
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override;

private:
    // Runs `call` on the worker and waits for it.
    void onWorker(const std::function<void()>& call);

    SerialPortSystem& ports_;
    PortWorker& worker_;
    Wait wait_;
};

}  // namespace serial
