// The serial link's exchanges on a thread of their own, so that the
// window's thread never blocks on a port: a silent port holds its caller
// for about a second, a port whose driver hangs (a USB serial device that
// re-enumerates) for as long as the driver likes.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "serial/port_crew.h"
#include "serial/serial_port_system.h"

namespace serial {

// Runs one job at a time, handed over by one other thread (the window's).
class JobRunner {
public:
    // A job makes its port calls through the ports it is given, so that a
    // port it is left in can be told.
    using Job = std::function<void(SerialPortSystem& ports)>;
    virtual ~JobRunner() = default;
    // Hands `job` over; false, and nothing happens, while an earlier job
    // runs.
    virtual bool post(Job job) = 0;
    // True while no job runs.
    virtual bool idle() const = 0;
};

// How long a worker that goes waits for the job in hand before it leaves
// the job to end on its own.
inline constexpr std::chrono::milliseconds kWorkerEndLimit{1000};

// One thread that runs the jobs. The thread is never joined: a job whose
// port call hangs keeps it until the call returns (or the process ends),
// so a job may refer only to what lives as long as the process or to what
// it holds itself.
class PortWorker final : public JobRunner {
public:
    // Its jobs call `ports`, which must live as long as the process.
    explicit PortWorker(SerialPortSystem& ports, std::chrono::milliseconds endLimit = kWorkerEndLimit);
    // Waits at most the end limit for the job in hand (none once left),
    // then gives up its calls and goes; the thread ends as soon as it has
    // no job.
    ~PortWorker() override;
    PortWorker(const PortWorker&) = delete;
    PortWorker& operator=(const PortWorker&) = delete;

    bool post(Job job) override;
    bool idle() const override;
    // Gives up the job in hand: its calls are given up, and this worker
    // takes no other job and goes without waiting for it.
    void leave();
    // The calls the job is in now (an open, an exchange; a look asks
    // several at once). It stays after this worker has gone.
    std::shared_ptr<PortsInCall> portsInCall() const;

private:
    struct State;
    static void Run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
    std::chrono::milliseconds endLimit_;
};

// The serial ports of `ports`, each call made on a port worker while the
// caller waits through `wait` (which returns once the condition holds: the
// window keeps answering meanwhile). `ports` must live as long as the
// process: a call given up may still run. A call in hand is given up once
// `giveUp` holds (the user has chosen to leave): it is cancelled, counts as
// a port that did not open, and its worker is left to end on its own.
class OffThreadPorts final : public SerialPortSystem {
public:
    using Wait = std::function<void(const std::function<bool()>& done)>;
    OffThreadPorts(SerialPortSystem& ports, Wait wait, base::Clock clock, std::function<bool()> giveUp = {});
    // Gives up once more every call still in a driver.
    ~OffThreadPorts() override;
    OffThreadPorts(const OffThreadPorts&) = delete;
    OffThreadPorts& operator=(const OffThreadPorts&) = delete;

    // Where the version watch runs its looks too, one at a time with the
    // calls.
    JobRunner& worker() { return current(); }
    // Where ports are asked side by side: workers of their own call the
    // same ports, while the caller waits through `wait`; a call it leaves
    // counts as given up.
    PortCrew& crew() { return crew_; }
    // True while a job is in hand (none before the first call or look).
    bool busy() const { return worker_ && !worker_->idle(); }
    // Before a search: waits through `wait` at most `limit` for a job in
    // hand (a look of the version watch) to end, or until `giveUp` holds.
    // A job still in hand then keeps its worker, and a fresh worker takes
    // the calls. True when the worker was idle in time.
    bool settle(std::chrono::milliseconds limit);
    // True while a call given up (a look or a search left to its worker,
    // a port the crew left) is still in a driver on `port`: the wizard
    // itself then holds the port open, and no other program.
    bool stillInGivenUpCall(int port) const;

    bool listPortDevices(std::vector<PortDevice>& devices) override;
    uint32_t openExclusive(int port) override;
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override;

private:
    // Runs `call` on the worker and waits for it; `ifGivenUp` when the
    // wait was given up. Without a thread to be had, the call is made here.
    template <typename Result>
    Result onWorker(std::function<Result(SerialPortSystem&)> call, Result ifGivenUp);
    // The worker, started by the first call or look that needs it: the
    // window's start makes none, and a thread started with it would keep
    // the window from the screen that much longer.
    PortWorker& current();
    void freshWorker();

    SerialPortSystem& ports_;
    Wait wait_;
    base::Clock clock_;
    std::function<bool()> giveUp_;
    std::unique_ptr<PortWorker> worker_;  // none until the first call
    // The calls of the workers left with a job in hand.
    std::vector<std::shared_ptr<PortsInCall>> givenUp_;
    PortCrew crew_;
};

}  // namespace serial
