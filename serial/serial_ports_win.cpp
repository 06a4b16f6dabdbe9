// The serial ports of this Windows machine: SetupAPI for the present port
// devices, the communications calls for the probe and the exchange.
#include <cstring>
#include <vector>

#include "serial/comm_port_win.h"
#include "serial/handles_win.h"
#include "serial/serial_port_system.h"

namespace serial {
namespace {

// The device setup class of serial and parallel ports.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr DWORD kFriendlyNameSize = 128;

class WindowsSerialPorts final : public SerialPortSystem {
public:
    bool listFriendlyNames(std::vector<std::optional<std::string>>& names) override {
        names.clear();
        DeviceInfoList set(SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT));
        if (!set.valid()) return false;
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiEnumDeviceInfo(set.get(), index, &device)) break;
            BYTE name[kFriendlyNameSize] = {};
            if (SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_FRIENDLYNAME, nullptr, name,
                                                  kFriendlyNameSize, nullptr)) {
                const char* text = reinterpret_cast<const char*>(name);
                names.emplace_back(std::string(text, strnlen(text, kFriendlyNameSize)));
            } else {
                names.emplace_back(std::nullopt);
            }
        }
        return true;
    }

    bool canOpenExclusive(int port) override { return OpenComPort(port, FILE_FLAG_OVERLAPPED).valid(); }

    bool exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                  std::string& in) override {
        in.clear();
        UniqueHandle handle = OpenComPort(port, 0);
        if (!handle.valid()) return false;
        ConfigureComPort(handle.get(), timeouts);
        DWORD written = 0;
        WriteFile(handle.get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        if (readMax > 0) {
            std::vector<char> buffer(readMax);
            DWORD got = 0;
            ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(readMax), &got, nullptr);
            in.assign(buffer.data(), got);
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<SerialPortSystem> makeSystemSerialPorts() { return std::make_unique<WindowsSerialPorts>(); }

}  // namespace serial
