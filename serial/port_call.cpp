#include "serial/port_call.h"

#include <utility>

namespace serial {

namespace {
thread_local PortCall::InHand* tInHand = nullptr;
}  // namespace

void PortCall::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    if (cancel_) cancel_();
}

bool PortCall::stopped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}

void PortCall::whileInDriver(std::function<void()> cancel) {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_ = std::move(cancel);
    if (cancel_ && stopped_) cancel_();
}

PortCall::InHand::InHand(std::shared_ptr<PortCall> call) : call_(std::move(call)), outer_(tInHand) {
    tInHand = this;
}

PortCall::InHand::~InHand() { tInHand = outer_; }

std::shared_ptr<PortCall> PortCall::Current() { return tInHand ? tInHand->call_ : nullptr; }

}  // namespace serial
