#include "serial/port_crew.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace serial {

bool PortsInCall::enter(int port, std::shared_ptr<PortCall> call) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return false;
    calls_.push_back({port, std::move(call)});
    return true;
}

void PortsInCall::leave(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(calls_.begin(), calls_.end(), [port](const Call& c) { return c.port == port; });
    if (it != calls_.end()) calls_.erase(it);
}

bool PortsInCall::has(int port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(calls_.begin(), calls_.end(), [port](const Call& c) { return c.port == port; });
}

void PortsInCall::stopAll() {
    std::vector<std::shared_ptr<PortCall>> inHand;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        for (const Call& c : calls_)
            if (c.call) inHand.push_back(c.call);
    }
    for (const auto& call : inHand) call->stop();
}

bool SerialPortSystem::startPortThread(std::function<void()> body) { return StartDetachedThread(std::move(body)); }

bool StartDetachedThread(std::function<void()> body) {
    try {
        std::thread(std::move(body)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

// What the workers of one round share with the asker. It lives as long as
// the last of them: a worker left in a call holds it.
struct PortCrew::Round {
    Round(SerialPortSystem& p, const std::vector<Step>& s, std::size_t count) : ports(p), steps(s), state(count) {}
    struct Port {
        std::size_t stepsDone = 0;
        unsigned calls = 0;  // calls begun
        bool inCall = false;
        bool overdue = false;  // set by the asker: the worker makes no further call of it
        std::shared_ptr<PortCall> call;  // the call in hand
    };
    // The ports a worker's calls go to, each call noted for the asker.
    class Noting;

    SerialPortSystem& ports;
    const std::vector<Step> steps;
    std::mutex mutex;
    std::atomic<unsigned> changes{0};  // a call began or ended, or a step ended
    std::size_t next = 0;              // the first port no worker has taken
    std::size_t workers = 0;           // workers not yet through
    std::size_t counting = 0;          // workers whose port is not overdue
    std::size_t starting = 0;          // workers started that have not taken a port yet
    bool over = false;                 // the asker has gone: nothing more is begun
    std::vector<Port> state;
    PortsInCall inCall;
};

class PortCrew::Round::Noting final : public SerialPortSystem {
public:
    Noting(Round& round, std::size_t index) : round_(round), index_(index) {}
    bool listPortDevices(std::vector<PortDevice>& devices) override { return round_.ports.listPortDevices(devices); }
    uint32_t openExclusive(int port) override {
        return inCall(port, kErrorOpenGivenUp, [&] { return round_.ports.openExclusive(port); });
    }
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override {
        return inCall(port, Exchanged{false, 0, 0, kErrorOpenGivenUp},
                      [&] { return round_.ports.exchange(port, timeouts, out, readMax, in); });
    }

private:
    // Makes `call` unless the round no longer wants this port: it is over,
    // or the port is overdue. That is asked before every call, also
    // between the calls of one step.
    template <typename Result, typename Call>
    Result inCall(int port, Result givenUp, Call call) {
        std::shared_ptr<PortCall> portCall = PortCall::Current();
        if (!portCall) portCall = std::make_shared<PortCall>();
        const PortCall::InHand inHand(portCall);
        if (!note(port, portCall)) return givenUp;
        struct Leave {
            ~Leave() { noting.note(port, nullptr); }
            Noting& noting;
            int port;
        } leave{*this, port};
        return call();
    }
    bool note(int port, std::shared_ptr<PortCall> call) {
        std::lock_guard<std::mutex> lock(round_.mutex);
        Port& p = round_.state[index_];
        if (call) {
            if (round_.over || p.overdue) return false;
            ++p.calls;
            round_.inCall.enter(port);
        } else {
            round_.inCall.leave(port);
        }
        p.inCall = call != nullptr;
        p.call = std::move(call);
        round_.changes.fetch_add(1);
        return true;
    }
    Round& round_;
    std::size_t index_;
};

PortCrew::PortCrew(SerialPortSystem& ports, Options options) : ports_(ports), options_(std::move(options)) {}

void PortCrew::Work(const std::shared_ptr<Round>& round) {
    Round& r = *round;
    std::unique_lock<std::mutex> lock(r.mutex);
    --r.starting;
    bool counts = true;
    while (counts && !r.over && r.next < r.state.size()) {
        const std::size_t index = r.next++;
        Round::Noting noting(r, index);
        for (const Step& step : r.steps) {
            if (r.over || r.state[index].overdue) break;
            lock.unlock();
            step(noting, index);
            lock.lock();
            ++r.state[index].stepsDone;
            r.changes.fetch_add(1);
        }
        // A port that became overdue took this worker's place with it: a
        // fresh worker has it now.
        counts = !r.state[index].overdue;
    }
    if (counts) --r.counting;
    --r.workers;
}

std::size_t PortCrew::startWorkers(const std::shared_ptr<Round>& round, std::size_t count) {
    if (!options_.start) return 0;
    std::size_t started = 0;
    for (; started < count; ++started) {
        {
            std::lock_guard<std::mutex> lock(round->mutex);
            // No more workers than ports no worker has taken yet.
            if (round->workers >= kMostPortThreads || round->counting >= kMostPortWorkers ||
                round->next + round->starting >= round->state.size())
                break;
            ++round->workers, ++round->counting, ++round->starting;
        }
        if (!options_.start([round] { Work(round); })) {
            std::lock_guard<std::mutex> lock(round->mutex);
            --round->workers, --round->counting, --round->starting;
            break;
        }
    }
    return started;
}

std::vector<std::shared_ptr<PortCall>> PortCrew::CallsInHand(Round& round) {
    std::vector<std::shared_ptr<PortCall>> calls;
    for (const Round::Port& port : round.state)
        if (port.call) calls.push_back(port.call);
    return calls;
}

void PortCrew::ask(std::size_t count, const std::vector<Step>& steps, SerialPortSystem& inTurn,
                   const std::function<bool()>& decided, const std::function<bool()>& leaving) {
    left_.erase(std::remove_if(left_.begin(), left_.end(),
                               [](const std::shared_ptr<Round>& r) {
                                   std::lock_guard<std::mutex> lock(r->mutex);
                                   return r->workers == 0;
                               }),
                left_.end());
    standings_.assign(count, Standing{});
    callsSeen_.assign(count, 0);
    callSince_.assign(count, base::TimePoint{});
    startedAt_ = options_.clock();
    if (count == 0 || decided() || leaving()) return;
    auto round = std::make_shared<Round>(ports_, steps, count);
    if (startWorkers(round, std::min(count, kMostPortWorkers)) == 0) {
        // No thread to be had: the ports are asked one after another.
        askInTurn(count, steps, inTurn, decided, leaving);
        return;
    }
    for (;;) {
        const unsigned seen = round->changes.load();
        base::TimePoint deadline;
        std::vector<std::shared_ptr<PortCall>> overdue;
        const bool changed = look(*round, options_.clock(), deadline, overdue);
        for (const auto& call : overdue) call->stop();
        // Each overdue port's place goes to a fresh worker, for the ports
        // no worker has taken yet.
        if (!overdue.empty()) startWorkers(round, overdue.size());
        if ((changed && decided()) || allEnded(steps.size()) || leaving()) break;
        const auto moved = [&] {
            return round->changes.load() != seen ||
                   (deadline != base::TimePoint::max() && options_.clock() >= deadline) || leaving();
        };
        if (options_.wait) {
            options_.wait(moved);
        } else {
            while (!moved()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::vector<std::shared_ptr<PortCall>> inHand;
    {
        std::lock_guard<std::mutex> lock(round->mutex);
        round->over = true;
        inHand = CallsInHand(*round);
        if (round->workers > 0) left_.push_back(round);
    }
    // No port gets a byte the round no longer wants.
    for (const auto& call : inHand) call->stop();
}

void PortCrew::askInTurn(std::size_t count, const std::vector<Step>& steps, SerialPortSystem& inTurn,
                         const std::function<bool()>& decided, const std::function<bool()>& leaving) {
    for (std::size_t step = 0; step < steps.size(); ++step) {
        for (std::size_t index = 0; index < count; ++index) {
            if (leaving()) return;
            steps[step](inTurn, index);
            standings_[index].stepsDone = step + 1;
            standings_[index].ended.push_back(options_.clock());
            if (decided()) return;
        }
    }
}

bool PortCrew::look(Round& round, base::TimePoint now, base::TimePoint& deadline,
                    std::vector<std::shared_ptr<PortCall>>& overdue) {
    std::lock_guard<std::mutex> lock(round.mutex);
    bool changed = false;
    deadline = base::TimePoint::max();
    for (std::size_t i = 0; i < round.state.size(); ++i) {
        Round::Port& port = round.state[i];
        Standing& standing = standings_[i];
        if (standing.overdue) continue;
        for (; standing.stepsDone < port.stepsDone; ++standing.stepsDone) {
            standing.ended.push_back(now);
            changed = true;
        }
        if (!port.inCall || options_.callLimit.count() == 0) continue;
        if (port.calls != callsSeen_[i]) {  // a call begun since the last look: it runs from now
            callsSeen_[i] = port.calls;
            callSince_[i] = now;
        }
        if (now - callSince_[i] >= options_.callLimit) {
            standing.overdue = port.overdue = true;
            standing.overdueAt = now;
            --round.counting;
            if (port.call) overdue.push_back(port.call);
            changed = true;
        } else {
            deadline = std::min(deadline, callSince_[i] + options_.callLimit);
        }
    }
    return changed;
}

bool PortCrew::allEnded(std::size_t steps) const {
    return std::all_of(standings_.begin(), standings_.end(),
                       [steps](const Standing& s) { return s.overdue || s.stepsDone == steps; });
}

bool PortCrew::stillInLeftCall(int port) const {
    return std::any_of(left_.begin(), left_.end(),
                       [port](const std::shared_ptr<Round>& r) { return r->inCall.has(port); });
}

void PortCrew::stopLeftCalls() {
    for (const auto& round : left_) {
        std::vector<std::shared_ptr<PortCall>> inHand;
        {
            std::lock_guard<std::mutex> lock(round->mutex);
            inHand = CallsInHand(*round);
        }
        for (const auto& call : inHand) call->stop();
    }
}

}  // namespace serial
