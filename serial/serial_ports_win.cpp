// Placeholder until the serial link lands: no port class.
#include "serial/serial_port_system.h"

namespace serial {
namespace {
class NoPorts final : public SerialPortSystem {
public:
    bool listFriendlyNames(std::vector<std::optional<std::string>>&) override { return false; }
    bool canOpenExclusive(int) override { return false; }
    bool exchange(int, const CommTimeouts&, const std::string&, std::size_t, std::string&) override { return false; }
};
}  // namespace
std::unique_ptr<SerialPortSystem> makeSystemSerialPorts() { return std::make_unique<NoPorts>(); }
}  // namespace serial
