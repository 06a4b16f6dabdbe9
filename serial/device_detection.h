// Finding the transponder on the serial ports and sending it the boot
// command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "serial/serial_port_system.h"
#include "serial/version_reply.h"

namespace serial {

// The discovery lists of the main window; a list's size is its count.
struct PortLists {
    std::vector<int> EnumeratedPorts;
    std::vector<int> OpenablePorts;
    std::vector<int> CandidatePorts;
    // The friendly name of each enumerated port (the first device's, when
    // two carry the same number).
    std::map<int, std::string> PortNames = {};
    // Enumerated ports whose open failed as a port held by another program
    // fails (IsHeldPortError), ascending.
    std::vector<int> BusyPorts = {};
};

// How the detection shows itself on the main window, and tells what it saw.
class DetectionDisplay {
public:
    virtual ~DetectionDisplay() = default;
    virtual int progressPosition() = 0;                        // ProgressBar2's position
    virtual void showProgress(int32_t percent) = 0;            // ShowProgress
    virtual void showDeviceVersion(const std::string& v) = 0;  // both installed-version labels
    // Between ports the window answers what the system and other programs
    // have sent it (the exchanges themselves may also run elsewhere while
    // the window waits). Clicks, keys and timers stay queued; nothing of the
    // scan may change here.
    virtual void answerSystem() = 0;
    // One line of what the detection saw and decided, for the log.
    virtual void report(const std::string& line) { (void)line; }
    // False once the user has chosen to leave: the search stops before its
    // next port, as if none had answered.
    virtual bool searchGoesOn() { return true; }
    // How many of the bytes a port answered the report quotes.
    virtual std::size_t bytesToReport() { return kReplyBufferSize; }
};

// Identification outcome written into the main window's fields.
struct DeviceFields {
    int DevicePortNumber = 0;
    uint8_t DeviceIdentified = 0;
};

// Enumerates, probes and selects, then queries the candidates in ascending
// order until one answers. Afterwards lists.CandidatePorts is empty exactly
// when no device answered. The display answers the system before each
// probe and before each query, and hears a report of each port listed,
// each probe, each query and the end.
void DetectDeviceVersion(SerialPortSystem& system, PortLists& lists, DetectionDisplay& display,
                         DeviceFields& device);

// Result codes of QueryDeviceVersion.
inline constexpr uint8_t kQueryIdentified = 0;
inline constexpr uint8_t kQueryOpenFailed = 1;
inline constexpr uint8_t kQueryNoDevice = 99;

// What a query saw beyond its result.
struct QueryFacts {
    uint32_t openError = 0;      // Windows' error of an open that failed
    bool anotherDevice = false;  // the port answered plainly as another device (PlainlyAnotherDevice)
};

// Sends the version query to `port` and reads once. When the device
// identifies itself: shows its version (if its reply line carries one),
// sets device.DevicePortNumber and DeviceIdentified, and returns
// kQueryIdentified. The port number is carried whole (COM261 stays 261).
uint8_t QueryDeviceVersion(SerialPortSystem& system, int port, DetectionDisplay& display,
                           DeviceFields& device, QueryFacts* facts = nullptr);

// Shows the version held in a reply line; nothing with fewer than ten commas.
void ParseVersionReply(const std::string& line, DetectionDisplay& display);

// Sends `bytes` to the port `devicePortNumber`; nothing when it is 0 (then
// the port counts as not opened).
Exchanged SendBootCommand(SerialPortSystem& system, int devicePortNumber, const char* bytes, std::size_t length);

// What became of a sentence of `length` bytes, for the log: "sent", "not
// sent, the port does not open", "not sent, the write failed (Windows error
// 1167)", "cut: 9 of 22 bytes went out".
std::string DescribeWrite(const Exchanged& exchanged, std::size_t length);

inline constexpr char kBootCommand[] = "$PDBG,107,1,,,,,,*16\r\n";
inline constexpr std::size_t kBootCommandLength = 22;

}  // namespace serial
