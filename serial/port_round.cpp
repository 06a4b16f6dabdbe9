#include "serial/port_round.h"

namespace serial {

std::unique_ptr<PendingExchange> PortCrew::Round::Noting::beginExchange(int port, const CommTimeouts& timeouts,
                                                                        const std::string& out, std::size_t readMax) {
    std::shared_ptr<PortCall> portCall = PortCall::Current();
    if (!portCall) portCall = std::make_shared<PortCall>();
    const PortCall::InHand inHand(portCall);
    if (!note(port, portCall))
        return std::make_unique<EndedExchange>(Exchanged{false, 0, 0, kErrorOpenGivenUp}, std::string());
    std::unique_ptr<PendingExchange> read = round_.ports.beginExchange(port, timeouts, out, readMax);
    const bool ended = read->ended();
    std::lock_guard<std::mutex> lock(round_.mutex);
    Port& p = round_.state[index_];
    p.read = std::move(read);
    p.ended = ended;
    p.readPort = port;
    p.reader = worker_;
    return std::make_unique<HeldRead>(round_, index_, port);
}

}  // namespace serial
