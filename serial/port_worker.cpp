#include "serial/port_worker.h"

#include <atomic>

namespace serial {

PortWorker::PortWorker() : thread_([this] { run(); }) {}

PortWorker::~PortWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

bool PortWorker::post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (busy_ || ending_) return false;
        busy_ = true;
        job_ = std::move(job);
    }
    wake_.notify_one();
    return true;
}

bool PortWorker::idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !busy_;
}

void PortWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || ending_; });
        if (!busy_) return;  // ending, nothing in hand
        std::function<void()> job = std::move(job_);
        lock.unlock();
        job();
        job = nullptr;  // what it holds goes on this thread
        lock.lock();
        busy_ = false;
    }
}

void OffThreadPorts::onWorker(const std::function<void()>& call) {
    // Only the window's thread hands jobs over: once idle, the worker stays
    // so until the post below.
    wait_([this] { return worker_.idle(); });
    std::atomic<bool> done{false};
    const bool posted = worker_.post([&] {
        call();
        done.store(true, std::memory_order_release);
    });
    if (!posted) {
        call();  // the worker is ending: the call is made here
        return;
    }
    // The job refers to this frame: the wait lasts until it has ended.
    wait_([&] { return done.load(std::memory_order_acquire); });
}

bool OffThreadPorts::listPortDevices(std::vector<PortDevice>& devices) {
    bool listed = false;
    onWorker([&] { listed = ports_.listPortDevices(devices); });
    return listed;
}

uint32_t OffThreadPorts::openExclusive(int port) {
    uint32_t result = 0;
    onWorker([&] { result = ports_.openExclusive(port); });
    return result;
}

Exchanged OffThreadPorts::exchange(int port, const CommTimeouts& timeouts, const std::string& out,
                                   std::size_t readMax, std::string& in) {
    Exchanged result;
    onWorker([&] { result = ports_.exchange(port, timeouts, out, readMax, in); });
    return result;
}

}  // namespace serial
