#include "serial/port_crew.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "serial/port_round.h"

namespace serial {

PortCrew::PortCrew(SerialPortSystem& ports, Options options) : ports_(ports), options_(std::move(options)) {}

void PortCrew::Work(const std::shared_ptr<Round>& round) {
    Round& r = *round;
    std::unique_lock<std::mutex> lock(r.mutex);
    --r.starting;
    const unsigned id = ++r.lastWorker;
    bool counts = true;
    while (counts) {
        std::size_t index = r.readyPort();
        if (index == r.state.size() && (r.over || r.next == r.state.size())) {
            // Nothing at hand: which reads have ended? (Waits for its own.)
            r.awaitReads(lock, id);
            index = r.readyPort();
        }
        if (index < r.state.size()) {
            r.state[index].waiting = false;
        } else if (!r.over && r.next < r.state.size()) {
            index = r.next++;
        } else if (r.reading(id)) {
            continue;  // this thread stays while a read it began is under way
        } else {
            break;
        }
        Round::Port& port = r.state[index];
        Round::Noting noting(r, index, id);
        while (port.stepsDone < r.steps.size() && !r.over && !port.overdue) {
            if (port.read && !port.ended) break;  // a read under way waits on no worker
            lock.unlock();
            r.steps[port.stepsDone](noting, index);
            lock.lock();
            ++port.stepsDone;
            r.changes.fetch_add(1);
        }
        if (port.read && (r.over || port.overdue || port.stepsDone == r.steps.size())) {
            // A read the round no longer wants is ended here: its call was
            // given up, so it ends as soon as its driver lets it.
            std::shared_ptr<PendingExchange> read = std::move(port.read);
            port.ended = false;
            const int readPort = port.readPort;
            lock.unlock();
            std::string ignored;
            read->end(ignored);
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
    // Its place given up, a worker still stays while a read it began is
    // under way.
    while (r.reading(id)) r.awaitReads(lock, id);
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
                if (p.waiting && (round->over || p.overdue || p.ended)) ++wanted;
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
        // A read that ended is back from its driver: it waits for a worker.
        if (port.waiting && port.ended) continue;
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
