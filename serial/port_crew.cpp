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

std::unique_ptr<PendingExchange> SerialPortSystem::beginExchange(int port, const CommTimeouts& timeouts,
                                                                 const std::string& out, std::size_t readMax) {
    std::string in;
    const Exchanged result = exchange(port, timeouts, out, readMax, in);
    return std::make_unique<EndedExchange>(result, std::move(in));
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
    // Every read under way is ended by a worker before the last one goes:
    // none is left to close here, on the asker's thread.
    struct Port {
        std::size_t stepsDone = 0;
        unsigned calls = 0;  // calls begun
        bool inCall = false;
        bool overdue = false;  // set by the asker: the worker makes no further call of it
        bool placeGiven = false;  // it became overdue on a worker, whose place went to a fresh one
        std::shared_ptr<PortCall> call;  // the call in hand
        // The read its last step left under way; `waiting` while no worker
        // holds the port, `reader` the worker that began the read.
        std::unique_ptr<PendingExchange> read;
        int readPort = 0;
        bool waiting = false;
        unsigned reader = 0;
    };
    // The ports a worker's calls go to, each call noted for the asker.
    class Noting;
    class HeldRead;

    // A port waiting for its worker: its read ended, or one the round no
    // longer wants. None: size().
    std::size_t readyPort() const {
        for (std::size_t i = 0; i < state.size(); ++i) {
            const Port& p = state[i];
            if (p.waiting && (over || p.overdue || p.read->ended())) return i;
        }
        return state.size();
    }
    // True while a read begun by worker `id` is under way: Windows would
    // cancel it once that worker's thread ends.
    bool reading(unsigned id) const {
        return std::any_of(state.begin(), state.end(),
                           [id](const Port& p) { return p.read && p.reader == id && !p.read->ended(); });
    }
    // Notes the call in hand on port `index` (none: it has ended); false,
    // and nothing noted, when the round no longer wants the port.
    bool note(std::size_t index, int port, std::shared_ptr<PortCall> call) {
        std::lock_guard<std::mutex> lock(mutex);
        Port& p = state[index];
        if (call) {
            if (over || p.overdue) return false;
            ++p.calls;
            inCall.enter(port);
        } else {
            inCall.leave(port);
        }
        p.inCall = call != nullptr;
        p.call = std::move(call);
        changes.fetch_add(1);
        return true;
    }
    bool anyRead() const {
        return std::any_of(state.begin(), state.end(), [](const Port& p) { return p.read != nullptr; });
    }

    SerialPortSystem& ports;
    const std::vector<Step> steps;
    std::mutex mutex;
    std::atomic<unsigned> changes{0};  // a call began or ended, or a step ended
    std::size_t next = 0;              // the first port no worker has taken
    std::size_t workers = 0;           // workers not yet through
    std::size_t counting = 0;          // workers not held in an overdue call
    std::size_t starting = 0;          // workers started that have not taken a port yet
    unsigned lastWorker = 0;           // the id of the last worker started
    bool over = false;                 // the asker has gone: nothing more is begun
    std::vector<Port> state;
    PortsInCall inCall;
};

class PortCrew::Round::Noting final : public SerialPortSystem {
public:
    Noting(Round& round, std::size_t index, unsigned worker) : round_(round), index_(index), worker_(worker) {}
    bool listPortDevices(std::vector<PortDevice>& devices) override { return round_.ports.listPortDevices(devices); }
    uint32_t openExclusive(int port) override {
        return inCall(port, kErrorOpenGivenUp, [&] { return round_.ports.openExclusive(port); });
    }
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override {
        return inCall(port, Exchanged{false, 0, 0, kErrorOpenGivenUp},
                      [&] { return round_.ports.exchange(port, timeouts, out, readMax, in); });
    }
    // The call stays in hand until the step that takes the read's end has
    // it, or the round ends the read.
    std::unique_ptr<PendingExchange> beginExchange(int port, const CommTimeouts& timeouts, const std::string& out,
                                                   std::size_t readMax) override;
private:
    bool note(int port, std::shared_ptr<PortCall> call) { return round_.note(index_, port, std::move(call)); }
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
    Round& round_;
    std::size_t index_;
    unsigned worker_;
};

// What a step holds of a read under way, which the round keeps.
class PortCrew::Round::HeldRead final : public PendingExchange {
public:
    HeldRead(Round& round, std::size_t index, int port) : round_(round), index_(index), port_(port) {}
    bool ended() override {
        std::lock_guard<std::mutex> lock(round_.mutex);
        const auto& read = round_.state[index_].read;
        return !read || read->ended();
    }
    Exchanged end(std::string& in) override {
        std::unique_ptr<PendingExchange> read;
        std::shared_ptr<PortCall> call;
        {
            std::lock_guard<std::mutex> lock(round_.mutex);
            read = std::move(round_.state[index_].read);
            call = round_.state[index_].call;
        }
        in.clear();
        if (!read) return Exchanged{false, 0, 0, kErrorOpenGivenUp};
        Exchanged result;
        {
            const PortCall::InHand inHand(call);
            result = read->end(in);
            read.reset();
        }
        round_.note(index_, port_, nullptr);
        return result;
    }

private:
    Round& round_;
    std::size_t index_;
    int port_;
};

std::unique_ptr<PendingExchange> PortCrew::Round::Noting::beginExchange(int port, const CommTimeouts& timeouts,
                                                                        const std::string& out, std::size_t readMax) {
    std::shared_ptr<PortCall> portCall = PortCall::Current();
    if (!portCall) portCall = std::make_shared<PortCall>();
    const PortCall::InHand inHand(portCall);
    if (!note(port, portCall))
        return std::make_unique<EndedExchange>(Exchanged{false, 0, 0, kErrorOpenGivenUp}, std::string());
    std::unique_ptr<PendingExchange> read = round_.ports.beginExchange(port, timeouts, out, readMax);
    std::lock_guard<std::mutex> lock(round_.mutex);
    Port& p = round_.state[index_];
    p.read = std::move(read);
    p.readPort = port;
    p.reader = worker_;
    return std::make_unique<HeldRead>(round_, index_, port);
}

PortCrew::PortCrew(SerialPortSystem& ports, Options options) : ports_(ports), options_(std::move(options)) {}

void PortCrew::Work(const std::shared_ptr<Round>& round) {
    Round& r = *round;
    std::unique_lock<std::mutex> lock(r.mutex);
    --r.starting;
    const unsigned id = ++r.lastWorker;
    bool counts = true;
    while (counts) {
        std::size_t index = r.readyPort();
        if (index < r.state.size()) {
            r.state[index].waiting = false;
        } else if (!r.over && r.next < r.state.size()) {
            index = r.next++;
        } else if (r.reading(id)) {
            // This thread stays while a read it began is under way.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
            continue;
        } else {
            break;
        }
        Round::Port& port = r.state[index];
        Round::Noting noting(r, index, id);
        while (port.stepsDone < r.steps.size() && !r.over && !port.overdue) {
            if (port.read && !port.read->ended()) break;  // a read under way waits on no worker
            lock.unlock();
            r.steps[port.stepsDone](noting, index);
            lock.lock();
            ++port.stepsDone;
            r.changes.fetch_add(1);
        }
        if (port.read && (r.over || port.overdue || port.stepsDone == r.steps.size())) {
            // A read the round no longer wants is ended here: its call was
            // given up, so it ends as soon as its driver lets it.
            std::unique_ptr<PendingExchange> read = std::move(port.read);
            const int readPort = port.readPort;
            lock.unlock();
            read.reset();
            r.note(index, readPort, nullptr);
            lock.lock();
        } else if (port.read) {
            port.waiting = true;
        }
        // A port that became overdue in its call took this worker's place
        // with it: a fresh worker has it now.
        counts = !port.placeGiven;
    }
    if (counts) --r.counting;
    --r.workers;
}

std::size_t PortCrew::startWorkers(const std::shared_ptr<Round>& round) {
    if (!options_.start) return 0;
    std::size_t started = 0;
    for (;; ++started) {
        {
            std::lock_guard<std::mutex> lock(round->mutex);
            // No more workers than ports for them: those no worker has
            // taken yet, and those whose read waits for a worker.
            std::size_t wanted = round->over ? 0 : round->state.size() - round->next;
            for (std::size_t i = round->readyPort(); i < round->state.size(); ++i) {
                const Round::Port& p = round->state[i];
                if (p.waiting && (round->over || p.overdue || p.read->ended())) ++wanted;
            }
            if (round->workers >= kMostPortThreads || round->counting >= kMostPortWorkers ||
                round->starting >= wanted)
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
                                   return r->workers == 0 && !r->anyRead();
                               }),
                left_.end());
    standings_.assign(count, Standing{});
    callsSeen_.assign(count, 0);
    callSince_.assign(count, base::TimePoint{});
    startedAt_ = options_.clock();
    if (count == 0 || decided() || leaving()) return;
    auto round = std::make_shared<Round>(ports_, steps, count);
    if (startWorkers(round) == 0) {
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
        // A place given up goes to a fresh worker, as does a read that
        // ended while no worker was free to take it.
        startWorkers(round);
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
        if (round->workers > 0 || round->anyRead()) left_.push_back(round);
    }
    // No port gets a byte the round no longer wants.
    for (const auto& call : inHand) call->stop();
    // The reads still under way are ended by a worker, not here.
    startWorkers(round);
}

void PortCrew::askInTurn(std::size_t count, const std::vector<Step>& steps, SerialPortSystem& inTurn,
                         const std::function<bool()>& decided, const std::function<bool()>& leaving) {
    // Runs steps [from, to) of port `index`; false once the asking ends.
    const auto run = [&](std::size_t index, std::size_t from, std::size_t to) {
        for (std::size_t step = from; step < to; ++step) {
            if (leaving()) return false;
            steps[step](inTurn, index);
            standings_[index].stepsDone = step + 1;
            standings_[index].ended.push_back(options_.clock());
            if (decided()) return false;
        }
        return true;
    };
    for (std::size_t index = 0; index < count; ++index)
        if (!run(index, 0, std::min<std::size_t>(1, steps.size()))) return;
    for (std::size_t index = 0; index < count; ++index)
        if (!run(index, 1, steps.size())) return;
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
            if (!port.waiting) {  // held by its worker, which gives its place up
                port.placeGiven = true;
                --round.counting;
            }
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
