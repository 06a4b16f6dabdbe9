// Start's search for the transponder: every port of the port class probed
// and asked side by side, the choice made as a search in turn makes it.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/device_detection.h"
#include "serial/port_crew.h"
#include "serial/port_discovery.h"

namespace serial {

namespace {

// What one port gave, each part written by its worker in the step that
// makes it, and read only once that step is seen to have ended.
struct PortResult {
    PortLists own;  // the port alone: enumerated once per device of its number
    std::vector<std::string> probed;
    std::vector<std::string> queried;
    std::unique_ptr<PendingExchange> asked;  // the query sent, its reply to come
    bool identified = false;
    std::optional<std::string> version;
};

// The query's read waits on no worker: the crew's few workers send every
// port its query before the first reply is due.
enum Steps : std::size_t { kProbe, kQuery, kReply, kStepCount };

// Calls made in turn on the window's thread: the window answers the system
// before each.
class AnsweringPorts final : public SerialPortSystem {
public:
    AnsweringPorts(SerialPortSystem& ports, DetectionDisplay& display) : ports_(ports), display_(display) {}
    bool listPortDevices(std::vector<PortDevice>& devices) override { return ports_.listPortDevices(devices); }
    uint32_t openExclusive(int port) override {
        display_.answerSystem();
        return ports_.openExclusive(port);
    }
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override {
        display_.answerSystem();
        return ports_.exchange(port, timeouts, out, readMax, in);
    }

private:
    SerialPortSystem& ports_;
    DetectionDisplay& display_;
};

std::vector<PortCrew::Step> PortSteps(const std::shared_ptr<std::vector<PortResult>>& results, std::size_t quoted) {
    return {[results](SerialPortSystem& ports, std::size_t i) {
                PortResult& r = (*results)[i];
                KeptDisplay kept;
                ProbeOpenablePorts(ports, r.own, &kept);
                SelectCandidatePorts(r.own);
                r.probed = std::move(kept.lines);
            },
            [results](SerialPortSystem& ports, std::size_t i) {
                PortResult& r = (*results)[i];
                // A number enumerated twice is one port: it is asked once.
                if (!r.own.CandidatePorts.empty()) r.asked = SendVersionQuery(ports, r.own.CandidatePorts[0]);
            },
            [results, quoted](SerialPortSystem&, std::size_t i) {
                PortResult& r = (*results)[i];
                if (!r.asked) return;
                KeptDisplay kept(quoted);
                DeviceFields found;
                r.identified = ReadVersionReply(*r.asked, r.own.CandidatePorts[0], kept, found) == kQueryIdentified;
                r.queried = std::move(kept.lines);
                r.version = kept.version;
            }};
}

}  // namespace

void DetectDeviceVersion(SerialPortSystem& system, PortLists& lists, DetectionDisplay& display,
                         DeviceFields& device, PortCrew* crew) {
    EnumeratePortNumbers(system, lists, &display);
    if (lists.EnumeratedPorts.empty()) {
        lists.CandidatePorts.clear();
        display.report("no port to ask");
        display.showProgress(0);
        return;
    }
    // Each number once, however many devices carry it (the list ascends).
    std::vector<int> ports = lists.EnumeratedPorts;
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    const std::size_t n = ports.size();
    auto results = std::make_shared<std::vector<PortResult>>(n);
    for (std::size_t i = 0; i < n; ++i) {
        PortLists& own = (*results)[i].own;
        const int port = ports[i];
        std::copy_if(lists.EnumeratedPorts.begin(), lists.EnumeratedPorts.end(),
                     std::back_inserter(own.EnumeratedPorts), [port](int p) { return p == port; });
        own.PortNames.emplace(port, lists.PortNames.at(port));
    }

    PortCrew inTurnOnly(system, PortCrew::Options{{}, base::SteadyNow, nullptr, kPortCallLimit});
    PortCrew& asking = crew ? *crew : inTurnOnly;
    const auto probeKnown = [&](std::size_t i) {
        return asking.standing(i).overdue || asking.standing(i).stepsDone > kProbe;
    };
    const auto ended = [&](std::size_t i) {
        const PortCrew::Standing& s = asking.standing(i);
        return s.overdue || s.stepsDone == kStepCount ||
               (s.stepsDone > kProbe && (*results)[i].own.CandidatePorts.empty());  // nothing to ask
    };
    const auto answered = [&](std::size_t i) {
        const PortCrew::Standing& s = asking.standing(i);
        return !s.overdue && s.stepsDone == kStepCount && (*results)[i].identified;
    };
    std::optional<std::size_t> chosen;
    int32_t shown = 0;  // the search begins on the bar at 0
    const auto decided = [&] {
        std::size_t done = 0;
        for (std::size_t i = 0; i < n; ++i) done += ended(i) ? 1 : 0;
        chosen.reset();
        for (std::size_t i = 0; i < n && ended(i); ++i) {
            if (answered(i)) {
                chosen = i;
                break;
            }
        }
        bool probed = true;
        for (std::size_t i = 0; i < n; ++i) probed = probed && probeKnown(i);
        if ((chosen && probed) || done == n) return true;
        const auto percent = static_cast<int32_t>(done * 100 / n);
        if (percent != shown) display.showProgress(shown = percent);
        return false;
    };
    AnsweringPorts inTurn(system, display);
    asking.ask(n, PortSteps(results, display.bytesToReport()), inTurn, decided,
               [&] { return !display.searchGoesOn(); });
    const bool left = !display.searchGoesOn();
    if (left) chosen.reset();

    // The lists, as the search in turn makes them: the ports come in ascending order.
    lists.OpenablePorts.clear();
    lists.BusyPorts.clear();
    lists.HungPorts.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const PortCrew::Standing& s = asking.standing(i);
        if (s.overdue) lists.HungPorts.push_back(ports[i]);
        if (s.stepsDone <= kProbe) continue;
        const PortLists& own = (*results)[i].own;
        lists.OpenablePorts.insert(lists.OpenablePorts.end(), own.OpenablePorts.begin(), own.OpenablePorts.end());
        lists.BusyPorts.insert(lists.BusyPorts.end(), own.BusyPorts.begin(), own.BusyPorts.end());
    }
    SelectCandidatePorts(lists);

    // The log: every probe, then every query, in port order, each with the
    // time it was seen to end.
    const auto at = [&](base::TimePoint t) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t - asking.startedAt()).count();
        return "at " + std::to_string(ms) + " ms: ";
    };
    const std::string hung = " did not return within " + std::to_string(kPortCallLimit.count()) +
                             " ms: left in its driver";
    // A port's result is read only once its step is seen to have ended:
    // the worker of an overdue port may still be writing it.
    for (std::size_t i = 0; i < n; ++i) {
        const PortCrew::Standing& s = asking.standing(i);
        if (s.stepsDone > kProbe)
            for (const std::string& line : (*results)[i].probed) display.report(at(s.ended[kProbe]) + line);
        else if (s.overdue)
            display.report(at(s.overdueAt) + PortForLog(lists, ports[i]) + ": the open" + hung);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const PortCrew::Standing& s = asking.standing(i);
        if (s.stepsDone <= kProbe || (*results)[i].own.CandidatePorts.empty()) continue;
        const std::string com = ComName(ports[i]);
        if (s.stepsDone == kStepCount)
            for (const std::string& line : (*results)[i].queried) display.report(at(s.ended[kReply]) + line);
        else if (s.overdue)
            display.report(at(s.overdueAt) + com + ": the version query" + hung);
        else
            display.report(com + ": still asked as the search ended: left to end on its own");
    }

    if (chosen) {
        const PortResult& r = (*results)[*chosen];
        if (r.version) display.showDeviceVersion(*r.version);
        device.DevicePortNumber = ports[*chosen];
        device.DeviceIdentified = 1;
        display.showProgress(100);
        return;
    }
    display.report(left                            ? "the search ends without a choice: the user leaves"
                   : lists.CandidatePorts.empty() ? "no port to ask"
                                                  : "no port answered as the transponder");
    display.showProgress(0);
    lists.CandidatePorts.clear();
}

}  // namespace serial
