// The calls in hand of one worker or of several (serial/port_crew.h).
#include <algorithm>
#include <utility>

#include "serial/port_crew.h"

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

}  // namespace serial
