#include "serial/port_worker.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace serial {

struct PortWorker::State {
    std::mutex mutex;
    std::condition_variable wake;  // a job or the end, for the thread
    std::condition_variable ended; // the thread is through, for the owner
    std::function<void()> job;
    bool busy = false;
    bool ending = false;
    bool through = false;
};

PortWorker::PortWorker(std::chrono::milliseconds endLimit)
    : state_(std::make_shared<State>()), endLimit_(endLimit) {
    std::thread([state = state_] { Run(state); }).detach();
}

PortWorker::~PortWorker() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->ending = true;
    state_->wake.notify_one();
    state_->ended.wait_for(lock, endLimit_, [this] { return state_->through; });
}

void PortWorker::leave() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ending = true;
    endLimit_ = std::chrono::milliseconds(0);
    state_->wake.notify_one();
}

bool PortWorker::post(std::function<void()> job) {
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
        std::function<void()> job = std::move(state->job);
        lock.unlock();
        job();
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
      giveUp_(giveUp ? std::move(giveUp) : [] { return false; }) {}

PortWorker& OffThreadPorts::current() {
    if (!worker_) worker_ = std::make_unique<PortWorker>();
    return *worker_;
}

void OffThreadPorts::freshWorker() {
    if (worker_) worker_->leave();
    worker_ = std::make_unique<PortWorker>();
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
    if (!current().idle()) freshWorker();
    SerialPortSystem* ports = &ports_;
    worker_->post([handover, ports, call = std::move(call)] {
        Result result = call(*ports);
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
