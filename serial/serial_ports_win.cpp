// The serial ports of this Windows machine: SetupAPI (loaded when first
// needed) for the present port devices, the communications calls for the
// probe and the exchange.
#include <cstring>
#include <vector>

#include "serial/call_in_driver_win.h"
#include "serial/comm_port_win.h"
#include "serial/handles_win.h"
#include "serial/pending_read_win.h"
#include "serial/port_crew.h"
#include "serial/serial_port_system.h"

namespace serial {
namespace {

static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorBusy == ERROR_BUSY && kPortOpened == ERROR_SUCCESS &&
                  kErrorOpenGivenUp == ERROR_OPERATION_ABORTED,
              "the open results are Windows' errors");

// The device setup class of serial and parallel ports.
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr DWORD kFriendlyNameSize = 128;
// Device instance IDs are at most 200 characters (MAX_DEVICE_ID_LEN).
constexpr DWORD kInstanceIdSize = 201;

std::optional<std::string> FriendlyName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    BYTE name[kFriendlyNameSize] = {};
    if (!win::setupapi::GetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr, name, kFriendlyNameSize,
                                           nullptr)) {
        return std::nullopt;
    }
    const char* text = reinterpret_cast<const char*>(name);
    return std::string(text, strnlen(text, kFriendlyNameSize));
}

// The instance ID names the bus that enumerated the device ("BTHENUM\..."
// for a paired Bluetooth device), which SPDRP_ENUMERATOR_NAME would too,
// but Wine does not answer that property.
std::optional<std::string> InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    std::vector<char> id(kInstanceIdSize);
    DWORD required = 0;
    if (!win::setupapi::GetDeviceInstanceIdA(set, &device, id.data(), static_cast<DWORD>(id.size()), &required)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= id.size()) return std::nullopt;
        id.resize(required);
        if (!win::setupapi::GetDeviceInstanceIdA(set, &device, id.data(), static_cast<DWORD>(id.size()), nullptr)) {
            return std::nullopt;
        }
    }
    return std::string(id.data(), strnlen(id.data(), id.size()));
}

// Opens `port` as exchanges use it, sets it up and writes `out`, noting in
// `result` how that went: the open port, or none when it did not open.
UniqueHandle OpenAndWrite(CallInDriver& call, int port, const CommTimeouts& timeouts, const std::string& out,
                          Exchanged& result) {
    UniqueHandle handle = call.open(port);
    if (!handle.valid()) {
        const DWORD error = GetLastError();
        result.openError = error != ERROR_SUCCESS ? error : ERROR_OPEN_FAILED;
        return handle;
    }
    result.opened = true;
    ConfigureComPort(handle.get(), timeouts);
    std::string bytes = out;
    DWORD written = 0;
    if (!call.transfer(handle.get(), true, bytes.data(), static_cast<DWORD>(bytes.size()), written))
        result.writeError = GetLastError();
    result.written = written;
    return handle;
}

class WindowsSerialPorts final : public SerialPortSystem {
public:
    bool listPortDevices(std::vector<PortDevice>& devices) override {
        devices.clear();
        DeviceInfoList set(win::setupapi::GetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT));
        if (!set.valid()) return false;
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!win::setupapi::EnumDeviceInfo(set.get(), index, &device)) break;
            devices.push_back({FriendlyName(set.get(), device), InstanceId(set.get(), device)});
        }
        return true;
    }

    uint32_t openExclusive(int port) override {
        CallInDriver call(PortCall::Current());
        const UniqueHandle handle = call.open(port);
        if (handle.valid()) return kPortOpened;
        const DWORD error = GetLastError();
        return error != kPortOpened ? error : ERROR_OPEN_FAILED;
    }

    // The port is opened overlapped (as the probe opens it), so that a
    // write or read of a call given up can be cancelled; each waits for
    // its end as a synchronous one does, with the same time-outs. A call
    // given up goes no further than the step it is in.
    Exchanged exchange(int port, const CommTimeouts& timeouts, const std::string& out, std::size_t readMax,
                       std::string& in) override {
        in.clear();
        Exchanged result;
        CallInDriver call(PortCall::Current());
        const UniqueHandle handle = OpenAndWrite(call, port, timeouts, out, result);
        if (!handle.valid()) return result;
        if (readMax > 0) {
            std::vector<char> buffer(readMax);
            DWORD got = 0;
            call.transfer(handle.get(), false, buffer.data(), static_cast<DWORD>(readMax), got);
            in.assign(buffer.data(), got);
        }
        return result;
    }

    // As exchange(), up to the read, which is left under way: it holds no
    // thread, and a stop of the call in hand cancels it.
    std::unique_ptr<PendingExchange> beginExchange(int port, const CommTimeouts& timeouts, const std::string& out,
                                                   std::size_t readMax) override {
        Exchanged sent;
        UniqueHandle handle;
        {
            CallInDriver call(PortCall::Current());
            handle = OpenAndWrite(call, port, timeouts, out, sent);
        }
        if (!handle.valid()) return std::make_unique<EndedExchange>(sent, std::string());
        return std::make_unique<PendingReadWin>(PortCall::Current(), std::move(handle), sent, readMax);
    }

    // A port worker's calls go a few frames deep: it reserves a small
    // stack rather than the program's 2 MiB (64 workers would reserve
    // 128 MiB of a 32-bit program's address space).
    bool startPortThread(std::function<void()> body) override {
        auto* work = new std::function<void()>(std::move(body));
        const UniqueHandle thread(CreateThread(nullptr, kPortWorkerStack, RunPortThread, work,
                                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!thread.valid()) delete work;
        return thread.valid();
    }

private:
    static DWORD WINAPI RunPortThread(void* work) {
        const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(work));
        (*body)();
        return 0;
    }
};

}  // namespace

std::unique_ptr<SerialPortSystem> makeSystemSerialPorts() { return std::make_unique<WindowsSerialPorts>(); }

}  // namespace serial
