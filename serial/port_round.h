// The state one round of the search shares between its workers and the
// asker, and the port system a worker's steps call through.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/port_crew.h"

namespace serial {

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
        // holds the port, `reader` the worker that began the read, `ended`
        // once a worker saw it end. A worker that waits for it shares it.
        std::shared_ptr<PendingExchange> read;
        int readPort = 0;
        bool waiting = false;
        bool ended = false;
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
            if (p.waiting && (over || p.overdue || p.ended)) return i;
        }
        return state.size();
    }
    // True while a read worker `id` began is under way: Windows cancels it when that thread ends.
    bool reading(unsigned id) const {
        return std::any_of(state.begin(), state.end(), [id](const Port& p) { return p.read && p.reader == id && !p.ended; });
    }
    // Waits, unlocked, a short while at most for a read worker `id` began,
    // and notes every read seen to have ended. No read is looked at under
    // the lock: that may take a call to the system.
    void awaitReads(std::unique_lock<std::mutex>& lock, unsigned id) {
        std::vector<std::pair<std::size_t, std::shared_ptr<PendingExchange>>> reads;
        PendingExchange* own = nullptr;
        for (std::size_t i = 0; i < state.size(); ++i) {
            if (!state[i].read || state[i].ended) continue;
            reads.emplace_back(i, state[i].read);
            if (!own && state[i].reader == id) own = state[i].read.get();
        }
        lock.unlock();
        if (own) own->awaitEnd(std::chrono::milliseconds(10));
        std::vector<bool> seen;
        for (const auto& read : reads) seen.push_back(read.second->ended());
        lock.lock();
        for (std::size_t k = 0; k < reads.size(); ++k)
            if (seen[k] && state[reads[k].first].read == reads[k].second) state[reads[k].first].ended = true;
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
        std::shared_ptr<PendingExchange> read;
        {
            std::lock_guard<std::mutex> lock(round_.mutex);
            read = round_.state[index_].read;
        }
        return !read || read->ended();
    }
    Exchanged end(std::string& in) override {
        std::shared_ptr<PendingExchange> read;
        std::shared_ptr<PortCall> call;
        {
            std::lock_guard<std::mutex> lock(round_.mutex);
            read = std::move(round_.state[index_].read);
            round_.state[index_].ended = false;
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

}  // namespace serial
