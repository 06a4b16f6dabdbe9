// Fakes of the serial seam for the unit tests of the serial link.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "serial/device_detection.h"
#include "serial/port_call.h"
#include "serial/serial_port_system.h"

namespace serial_test {

// The reads a thread began, told of its end.
struct ThreadEnd {
    std::vector<std::shared_ptr<std::atomic<std::chrono::steady_clock::rep>>> reads;
    ~ThreadEnd() {
        for (const auto& r : reads) *r = std::chrono::steady_clock::now().time_since_epoch().count();
    }
};
inline thread_local ThreadEnd tThreadEnd;

// True once `condition` holds, looked at for up to 5 s.
inline bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

struct Exchange {
    int port;
    serial::CommTimeouts timeouts;
    std::string out;
    std::size_t readMax;
};

class FakePorts final : public serial::SerialPortSystem {
public:
    bool listPortDevices(std::vector<serial::PortDevice>& out) override {
        out = devices;
        return classOpens;
    }
    uint32_t openExclusive(int port) override {
        std::unique_lock<std::mutex> lock(mutex_);
        probed.push_back(port);
        pause(lock, openDelays, port);
        if (hangProbes.count(port) != 0) hang(lock);
        ends_.push_back(-port);
        if (busy.count(port) != 0) return serial::kErrorAccessDenied;
        auto it = openErrors.find(port);
        return it == openErrors.end() ? serial::kPortOpened : it->second;
    }
    serial::Exchanged exchange(int port, const serial::CommTimeouts& t, const std::string& out, std::size_t readMax,
                               std::string& in) override {
        return beginExchange(port, t, out, readMax)->end(in);
    }
    // The read waits on no thread: it ends once its delay has passed (a
    // hung port's once settled).
    std::unique_ptr<serial::PendingExchange> beginExchange(int port, const serial::CommTimeouts& t,
                                                           const std::string& out, std::size_t readMax) override {
        std::unique_lock<std::mutex> lock(mutex_);
        opened.push_back(port);
        const auto refused = [](uint32_t error) {
            return std::make_unique<serial::EndedExchange>(serial::Exchanged{false, 0, 0, error}, std::string());
        };
        if (busy.count(port) != 0) return refused(serial::kErrorAccessDenied);
        if (openErrors.count(port) != 0) return refused(openErrors[port]);
        exchanges.push_back({port, t, out, readMax});
        mostAtOnce = std::max(mostAtOnce, ++inFlight_);
        const auto delay = delays.find(port);
        const auto due = std::chrono::steady_clock::now() +
                         (delay == delays.end() ? std::chrono::milliseconds(0) : delay->second);
        auto reply = replies.find(port);
        auto read = std::make_unique<Read>(*this, port, due, (readMax > 0 && reply != replies.end()) ? reply->second : "",
                                           serial::Exchanged{true, out.size(), 0}, serial::PortCall::Current());
        tThreadEnd.reads.push_back(read->threadEnd);
        return read;
    }
    // Exchanges begun, and those in their call now.
    std::size_t asked() { std::lock_guard<std::mutex> lock(mutex_); return exchanges.size(); }
    std::size_t inFlight() { std::lock_guard<std::mutex> lock(mutex_); return inFlight_; }
    // Lets a hung exchange answer, and waits for every exchange to end.
    void settle() {
        std::unique_lock<std::mutex> lock(mutex_);
        released_ = true, changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(20), [this] { return inFlight_ == 0 && hung_ == 0; });
    }
    // USB devices "USB Serial Port (COMn)" for the given ports.
    void present(std::initializer_list<int> ports) {
        for (int p : ports) {
            devices.push_back({"USB Serial Port (COM" + std::to_string(p) + ")",
                               "FTDIBUS\\VID_0403+PID_6001+A" + std::to_string(p) + "\\0000"});
        }
    }
    // Port operations so far: exclusive probes and exchanges.
    std::size_t operations() const { return probed.size() + exchanges.size(); }
    std::vector<int> probedPorts() { std::lock_guard<std::mutex> lock(mutex_); return probed; }
    // The calls in the order they ended: a probe as -port, an exchange as port.
    std::vector<int> ends() { std::lock_guard<std::mutex> lock(mutex_); return ends_; }
    std::vector<int> queried() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> ports;
        for (const auto& e : exchanges) ports.push_back(e.port);
        return ports;
    }

    bool classOpens = true;
    std::vector<serial::PortDevice> devices;
    std::set<int> busy;                   // held by another program: access denied
    std::map<int, uint32_t> openErrors;  // ports that fail to open otherwise, with the error
    std::map<int, std::string> replies;
    std::vector<int> probed;
    std::vector<int> opened;  // every exchange's port, whether it opened or not
    std::vector<Exchange> exchanges;
    std::map<int, std::chrono::milliseconds> delays, openDelays;  // exchanges, probes, that end after a while
    int hangPort = 0;            // its exchanges answer only once settled
    std::set<int> hangProbes;    // their probes return only once settled
    bool cancellable = false;    // a hung call also returns once given up, as its driver lets it
    std::size_t mostAtOnce = 0;  // exchanges in their call at once, at most

private:
    class Read final : public serial::PendingExchange {
    public:
        Read(FakePorts& ports, int port, std::chrono::steady_clock::time_point due, std::string reply,
             serial::Exchanged sent, std::shared_ptr<serial::PortCall> call)
            : ports_(ports), port_(port), due_(due), reply_(std::move(reply)), sent_(sent), call_(std::move(call)) {}
        // When the thread that began it ended: Windows cancels a read still
        // under way then.
        const std::shared_ptr<std::atomic<std::chrono::steady_clock::rep>> threadEnd =
            std::make_shared<std::atomic<std::chrono::steady_clock::rep>>(0);
        ~Read() override {
            std::string ignored;
            end(ignored);
        }
        bool ended() override {
            std::lock_guard<std::mutex> lock(ports_.mutex_);
            return endedLocked();
        }
        serial::Exchanged end(std::string& in) override {
            std::unique_lock<std::mutex> lock(ports_.mutex_);
            while (!endedLocked()) ports_.changed_.wait_for(lock, std::chrono::milliseconds(1));
            if (!done_) --ports_.inFlight_, ports_.ends_.push_back(port_), ports_.changed_.notify_all();
            done_ = true;
            in = cancelled() ? "" : reply_;
            return sent_;
        }

    private:
        // Cancelled: by the end of its thread before it was due, or given up
        // (a hung port's read only when `cancellable`).
        bool cancelled() const {
            const bool hung = port_ == ports_.hangPort && !ports_.released_;
            return (threadEnd->load() != 0 && threadEnd->load() < due_.time_since_epoch().count()) ||
                   (call_ && call_->stopped() && (!hung || ports_.cancellable));
        }
        bool endedLocked() const {
            if (done_ || cancelled()) return true;
            if (port_ == ports_.hangPort && !ports_.released_) return false;
            return std::chrono::steady_clock::now() >= due_;
        }
        FakePorts& ports_;
        int port_;
        std::chrono::steady_clock::time_point due_;
        std::string reply_;
        serial::Exchanged sent_;
        std::shared_ptr<serial::PortCall> call_;
        bool done_ = false;
    };
    void hang(std::unique_lock<std::mutex>& lock) {
        const auto call = serial::PortCall::Current();
        ++hung_;
        while (!released_ && !(cancellable && call && call->stopped()))
            changed_.wait_for(lock, std::chrono::milliseconds(1));
        --hung_, changed_.notify_all();
    }

public:
    std::size_t hung() { std::lock_guard<std::mutex> lock(mutex_); return hung_; }

private:
    void pause(std::unique_lock<std::mutex>& lock, const std::map<int, std::chrono::milliseconds>& after, int port) {
        const auto it = after.find(port);
        if (it != after.end()) changed_.wait_for(lock, it->second, [] { return false; });
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t inFlight_ = 0;
    std::size_t hung_ = 0;
    std::vector<int> ends_;
    bool released_ = false;
};

// Each time the window answers the system, records how many port operations
// `ports` had seen.
class FakeDisplay final : public serial::DetectionDisplay {
public:
    FakeDisplay() = default;
    explicit FakeDisplay(const FakePorts& p) : ports(&p) {}
    void showProgress(int32_t percent) override { shown.push_back(percent); }
    void showDeviceVersion(const std::string& v) override { versions.push_back(v); }
    void answerSystem() override { answeredAt.push_back(ports ? ports->operations() : 0); }
    void report(const std::string& line) override { reports.push_back(line); }
    bool searchGoesOn() override { return !leaves || !leaves(); }
    const FakePorts* ports = nullptr;
    std::function<bool()> leaves;  // the user has chosen to leave
    std::vector<std::string> reports;
    std::vector<int32_t> shown;
    std::vector<std::string> versions;
    std::vector<std::size_t> answeredAt;
};

inline const char kGoodReply[] = "$AIVER,AIS-B-K40,SIM,00001234,000000000,HW1.0,,,,2.0.1,BL1.2*5C\r\n";

}  // namespace serial_test
