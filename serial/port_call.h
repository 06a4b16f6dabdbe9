// One call on a port (an open, an exchange) that another thread can give
// up: a step of it that has not begun is not made, and the one in its
// driver is cancelled, so that the call ends, and its port is free, as
// soon as the driver lets it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace serial {

class PortCall {
public:
    // Gives the call up. Safe from any thread, any number of times, also
    // after the call has ended.
    void stop();
    bool stopped() const;
    // What cancels the call while it is in its driver, set by the port
    // system for the time the call is there (none: the call goes on); run
    // by stop(), and at once when the call was given up already. Clearing
    // it waits for a stop() that runs it.
    void whileInDriver(std::function<void()> cancel);

    // The call in hand on this thread, when whoever makes it gave it one.
    static std::shared_ptr<PortCall> Current();
    // Makes `call` the one in hand on this thread while it lives.
    class InHand {
    public:
        explicit InHand(std::shared_ptr<PortCall> call);
        ~InHand();
        InHand(const InHand&) = delete;
        InHand& operator=(const InHand&) = delete;

    private:
        friend class PortCall;
        std::shared_ptr<PortCall> call_;
        InHand* outer_;
    };

private:
    mutable std::mutex mutex_;
    bool stopped_ = false;
    std::function<void()> cancel_;
};

}  // namespace serial
