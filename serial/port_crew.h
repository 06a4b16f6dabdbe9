// Several ports asked side by side: a few worker threads make the ports'
// calls, each port with its own handle, while the one who asked waits (on
// the window's thread, the window answering meanwhile). A step that leaves
// a read under way (beginExchange) frees its worker for the next port; the
// port's next steps run once its read has ended, on whichever worker is
// free. A port whose call outlasts what its time-outs allow stops
// counting: its call is given up, and the place of a worker held in it
// goes to a fresh worker. Once the asker has what it needs, the calls still
// in hand are given up too, and no port gets another call of that round. A
// call given up ends as soon as its driver lets it; until then it is
// remembered, so that a port the wizard itself still holds open is not
// taken for one that another program holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/clock.h"
#include "serial/port_call.h"
#include "serial/serial_port_system.h"
#include "serial/version_reply.h"

namespace serial {

// How long one call on a port may take before it counts as hung: the
// version query's write and read time-outs (530 and 902 ms) and half a
// second for the open and the line's settings.
inline constexpr std::chrono::milliseconds kPortCallLimit{
    kQueryTimeouts.writeTotalMultiplier * kVersionQueryLength + kQueryTimeouts.writeTotalConstant +
    kQueryTimeouts.readTotalMultiplier * kReplyBufferSize + kQueryTimeouts.readTotalConstant + 500};

// At most this many workers of one round make calls at once: an open, the
// line's settings and a write take milliseconds, and the reads, which take
// the time, wait on no worker. Each thread costs memory (under Wine about
// 1 MiB). A worker held in an overdue call gives its place up, within at
// most kMostPortThreads threads a round, those left in their calls
// included, so that every port is asked however many hang.
inline constexpr std::size_t kMostPortWorkers = 4;
inline constexpr std::size_t kMostPortThreads = 128;

// The calls in hand now, of one worker or of several.
class PortsInCall {
public:
    // False, and nothing noted, once these calls were given up.
    bool enter(int port, std::shared_ptr<PortCall> call = nullptr);
    void leave(int port);
    bool has(int port) const;
    // Gives up every call in hand, and every later one before it begins.
    void stopAll();

private:
    struct Call {
        int port;
        std::shared_ptr<PortCall> call;
    };
    mutable std::mutex mutex_;
    bool stopped_ = false;
    std::vector<Call> calls_;
};

// Starts `body` on a detached thread; false when the system refuses one.
using ThreadStart = std::function<bool(std::function<void()> body)>;
bool StartDetachedThread(std::function<void()> body);
// The stack a port worker reserves: its calls go a few frames deep.
inline constexpr std::size_t kPortWorkerStack = 64 * 1024;

class PortCrew {
public:
    // Waits until `done()` holds; none: this thread sleeps between looks.
    using Wait = std::function<void(const std::function<bool()>& done)>;
    // One step of one port's work, `index` the port's place in the round.
    // A port's steps run in order, through the ports they are given. A
    // step may leave one exchange under way (beginExchange): the port's
    // next step runs once its read has ended, and takes its end.
    using Step = std::function<void(SerialPortSystem& ports, std::size_t index)>;

    struct Options {
        Wait wait;
        base::Clock clock = base::SteadyNow;  // read on the asking thread only
        ThreadStart start = StartDetachedThread;  // none: every port in turn
        // A call that runs longer no longer counts; zero: every call is
        // waited for, however long (then no call is ever left).
        std::chrono::milliseconds callLimit = kPortCallLimit;
    };

    // How a port of the last round stood when the asker last looked.
    struct Standing {
        std::size_t stepsDone = 0;
        bool overdue = false;                // a call of it outlasted the limit
        std::vector<base::TimePoint> ended;  // when each step done was seen to end
        base::TimePoint overdueAt{};
    };

    // The workers call `ports`, which must outlive every call a round may
    // leave: the process, unless the call limit is zero.
    PortCrew(SerialPortSystem& ports, Options options);
    PortCrew(const PortCrew&) = delete;
    PortCrew& operator=(const PortCrew&) = delete;

    // A round: `count` ports, each running `steps` in order, on at most
    // kMostPortWorkers workers at once. When not one worker can be had, the
    // ports are asked in turn on this thread through `inTurn`: every port's
    // first step, then each port's other steps, port after port.
    // `decided` is asked on this thread at the start and whenever a step
    // ends or a port becomes overdue; `leaving` whenever the asker looks.
    // The round ends when either holds or every port has ended (its steps
    // done, or overdue); calls still running then are given up and left.
    void ask(std::size_t count, const std::vector<Step>& steps, SerialPortSystem& inTurn,
             const std::function<bool()>& decided, const std::function<bool()>& leaving);
    const Standing& standing(std::size_t index) const { return standings_[index]; }
    // When the last round began.
    base::TimePoint startedAt() const { return startedAt_; }
    // True while a call that a round left is still in a driver on `port`.
    bool stillInLeftCall(int port) const;
    // Gives up again every call the rounds left (the program ends).
    void stopLeftCalls();
    // Rounds kept for a call still in hand (dropped at the next round).
    std::size_t roundsLeft() const { return left_.size(); }

private:
    struct Round;
    static void Work(const std::shared_ptr<Round>& round);
    // Starts workers for the ports no worker has, within the limits.
    std::size_t startWorkers(const std::shared_ptr<Round>& round);
    static std::vector<std::shared_ptr<PortCall>> CallsInHand(Round& round);
    void askInTurn(std::size_t count, const std::vector<Step>& steps, SerialPortSystem& inTurn,
                   const std::function<bool()>& decided, const std::function<bool()>& leaving);
    // Takes in what the workers did since the last look; true when a step
    // ended or a port became overdue. Sets `deadline` to the moment the
    // next call in hand becomes overdue (none: max), and adds the calls
    // that became overdue to `overdue`.
    bool look(Round& round, base::TimePoint now, base::TimePoint& deadline,
              std::vector<std::shared_ptr<PortCall>>& overdue);
    bool allEnded(std::size_t steps) const;

    SerialPortSystem& ports_;
    Options options_;
    std::vector<Standing> standings_;
    base::TimePoint startedAt_{};
    // What the asker last saw of each port's calls: how many had begun, and
    // since when the one in hand has run.
    std::vector<unsigned> callsSeen_;
    std::vector<base::TimePoint> callSince_;
    // Rounds whose workers may still be in a call.
    std::vector<std::shared_ptr<Round>> left_;
};

}  // namespace serial
