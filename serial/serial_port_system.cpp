// What every port system has unless it makes its own: a whole exchange for
// one begun, and a detached thread for a port's calls.
#include <system_error>
#include <thread>
#include <utility>

#include "serial/port_crew.h"
#include "serial/serial_port_system.h"

namespace serial {

void PendingExchange::awaitEnd(std::chrono::milliseconds most) {
    const auto until = std::chrono::steady_clock::now() + most;
    while (!ended() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

}  // namespace serial
