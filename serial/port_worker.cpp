#include "serial/port_worker.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace serial {

namespace {

// The ports a worker's jobs call, noting the port of each call in hand
// (a look's calls come from workers of its own, several at once).
class CallNoting final : public SerialPortSystem {
public:
    explicit CallNoting(SerialPortSystem& ports) : ports_(ports) {}
    bool listPortDevices(std::vector<PortDevice>& devices) override { return ports_.listPortDevices(devices); }
    uint32_t openExclusive(int port) override {
        return inCall_(port, kErrorOpenGivenUp, [&] { return ports_.openExclusive(port); });
    }
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override {
        return inCall_(port, Exchanged{false, 0, 0, kErrorOpenGivenUp},
                       [&] { return ports_.exchange(port, timeouts, out, readMax, in); });
    }
    bool startPortThread(std::function<void()> body) override { return ports_.startPortThread(std::move(body)); }
    PortsInCall inCall;

private:
    // Makes `call` unless the job was given up.
    template <typename Result, typename Call>
    Result inCall_(int port, Result givenUp, Call call) {
        std::shared_ptr<PortCall> portCall = PortCall::Current();
        if (!portCall) portCall = std::make_shared<PortCall>();
        const PortCall::InHand inHand(portCall);
        if (!inCall.enter(port, portCall)) return givenUp;
        struct Leave {
            ~Leave() { noted.leave(port); }
            PortsInCall& noted;
            int port;
        } leave{inCall, port};
        return call();
    }
    SerialPortSystem& ports_;
};

}  // namespace

struct PortWorker::State {
    explicit State(SerialPortSystem& ports) : noting(ports) {}
    CallNoting noting;
    std::mutex mutex;
    std::condition_variable wake;  // a job or the end, for the thread
    std::condition_variable ended; // the thread is through, for the owner
    Job job;
    bool busy = false;
    bool ending = false;
    bool through = false;
};

PortWorker::PortWorker(SerialPortSystem& ports, std::chrono::milliseconds endLimit)
    : state_(std::make_shared<State>(ports)), endLimit_(endLimit) {
    std::thread([state = state_] { Run(state); }).detach();
}

PortWorker::~PortWorker() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->ending = true;
    state_->wake.notify_one();
    if (state_->ended.wait_for(lock, endLimit_, [this] { return state_->through; })) return;
    lock.unlock();
    state_->noting.inCall.stopAll();  // the job in hand is left: its calls are given up
}

void PortWorker::leave() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->ending = true;
        endLimit_ = std::chrono::milliseconds(0);
        state_->wake.notify_one();
    }
    state_->noting.inCall.stopAll();
}

std::shared_ptr<PortsInCall> PortWorker::portsInCall() const {
    return std::shared_ptr<PortsInCall>(state_, &state_->noting.inCall);
}

bool PortWorker::post(Job job) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->busy || state_->ending) return false;
    state_->busy = true;
    state_->job = std::move(job);
    state_->wake.notify_one();
    return true;
}

bool PortWorker::idle() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !state_->busy;
}

void PortWorker::Run(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->busy || state->ending; });
        if (!state->busy) break;  // ending, nothing in hand
        Job job = std::move(state->job);
        lock.unlock();
        job(state->noting);
        job = nullptr;  // what it holds goes on this thread
        lock.lock();
        state->busy = false;
    }
    state->through = true;
    state->ended.notify_all();
}

OffThreadPorts::OffThreadPorts(SerialPortSystem& ports, Wait wait, base::Clock clock, std::function<bool()> giveUp)
    : ports_(ports),
      wait_(std::move(wait)),
      clock_(std::move(clock)),
      giveUp_(giveUp ? std::move(giveUp) : [] { return false; }),
      crew_(ports, PortCrew::Options{wait_, clock_,
                                     [&ports](std::function<void()> body) {
                                         return ports.startPortThread(std::move(body));
                                     },
                                     kPortCallLimit}) {}

OffThreadPorts::~OffThreadPorts() {
    // Whatever is still in a driver is given up once more as the program
    // ends: a cancel that came before its call reached the driver.
    for (const auto& calls : givenUp_) calls->stopAll();
    crew_.stopLeftCalls();
}

PortWorker& OffThreadPorts::current() {
    if (!worker_) worker_ = std::make_unique<PortWorker>(ports_);
    return *worker_;
}

void OffThreadPorts::freshWorker() {
    auto fresh = std::make_unique<PortWorker>(ports_);  // throws before anything changes
    if (worker_) {
        if (!worker_->idle()) givenUp_.push_back(worker_->portsInCall());
        worker_->leave();
    }
    worker_ = std::move(fresh);
}

bool OffThreadPorts::stillInGivenUpCall(int port) const {
    for (const auto& calls : givenUp_)
        if (calls->has(port)) return true;
    return crew_.stillInLeftCall(port);
}

bool OffThreadPorts::settle(std::chrono::milliseconds limit) {
    if (!busy()) return true;
    const base::TimePoint until = clock_() + limit;
    wait_([&] { return worker_->idle() || clock_() >= until || giveUp_(); });
    if (worker_->idle()) return true;
    freshWorker();
    return false;
}

template <typename Result>
Result OffThreadPorts::onWorker(std::function<Result(SerialPortSystem&)> call, Result ifGivenUp) {
    // What the job hands back lives with the job, which may outlast this
    // call when the wait is given up.
    struct Handover {
        std::mutex mutex;
        bool done = false;
        Result result;
    };
    auto handover = std::make_shared<Handover>();
    // Only the window's thread hands jobs over: a job in hand here was left
    // by a caller that did not settle first, and keeps its worker.
    try {
        if (!current().idle()) freshWorker();
    } catch (const std::system_error&) {
        return call(ports_);  // the system refuses a thread: the window waits here
    }
    worker_->post([handover, call = std::move(call)](SerialPortSystem& ports) {
        Result result = call(ports);
        std::lock_guard<std::mutex> lock(handover->mutex);
        handover->result = std::move(result);
        handover->done = true;
    });
    const auto done = [&] {
        std::lock_guard<std::mutex> lock(handover->mutex);
        return handover->done;
    };
    wait_([&] { return done() || giveUp_(); });
    if (!done()) {
        freshWorker();
        return ifGivenUp;
    }
    std::lock_guard<std::mutex> lock(handover->mutex);
    return std::move(handover->result);
}

bool OffThreadPorts::listPortDevices(std::vector<PortDevice>& devices) {
    using Listed = std::pair<bool, std::vector<PortDevice>>;
    Listed listed = onWorker<Listed>(
        [](SerialPortSystem& ports) {
            Listed l;
            l.first = ports.listPortDevices(l.second);
            return l;
        },
        Listed{false, {}});
    devices = std::move(listed.second);
    return listed.first;
}

uint32_t OffThreadPorts::openExclusive(int port) {
    // A probe given up counts as a port whose open failed.
    return onWorker<uint32_t>([port](SerialPortSystem& ports) { return ports.openExclusive(port); },
                              kErrorOpenGivenUp);
}

Exchanged OffThreadPorts::exchange(int port, const CommTimeouts& timeouts, const std::string& out,
                                   std::size_t readMax, std::string& in) {
    using Outcome = std::pair<Exchanged, std::string>;
    Outcome outcome = onWorker<Outcome>(
        [port, timeouts, out, readMax](SerialPortSystem& ports) {
            Outcome o;
            o.first = ports.exchange(port, timeouts, out, readMax, o.second);
            return o;
        },
        Outcome{Exchanged{false, 0, 0, kErrorOpenGivenUp}, std::string()});
    in = std::move(outcome.second);
    return outcome.first;
}

}  // namespace serial
