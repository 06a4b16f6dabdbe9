// Finding the transponder on the serial ports and sending it the boot
// command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial_port_system.h"
#include "serial/version_reply.h"

namespace serial {

class PortCrew;

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
    // Ports whose call in the last search did not return within
    // kPortCallLimit (their driver hangs), ascending.
    std::vector<int> HungPorts = {};
};

// How the detection shows itself on the main window, and tells what it saw.
class DetectionDisplay {
public:
    virtual ~DetectionDisplay() = default;
    virtual void showProgress(int32_t percent) = 0;            // ShowProgress
    virtual void showDeviceVersion(const std::string& v) = 0;  // both installed-version labels
    // Before each call on a port asked in turn, the window answers what
    // the system and other programs have sent it (the exchanges themselves
    // may also run elsewhere while the window waits). Clicks, keys and
    // timers stay queued; nothing of the scan may change here.
    virtual void answerSystem() = 0;
    // One line of what the detection saw and decided, for the log.
    virtual void report(const std::string& line) { (void)line; }
    // False once the user has chosen to leave: the search ends at once, as
    // if none had answered, and ports still being asked are left.
    virtual bool searchGoesOn() { return true; }
    // How many of the bytes a port answered the report quotes.
    virtual std::size_t bytesToReport() { return kReplyBufferSize; }
};

// What a query shows, kept instead of shown: for a query made off the
// window's thread, shown (or not) by the one who waits for it.
class KeptDisplay final : public DetectionDisplay {
public:
    explicit KeptDisplay(std::size_t quoted = kReplyBufferSize) : quoted_(quoted) {}
    void showProgress(int32_t) override {}
    void showDeviceVersion(const std::string& v) override { version = v; }
    void answerSystem() override {}
    void report(const std::string& line) override { lines.push_back(line); }
    std::size_t bytesToReport() override { return quoted_; }
    std::optional<std::string> version;
    std::vector<std::string> lines;

private:
    std::size_t quoted_;
};

// Identification outcome written into the main window's fields.
struct DeviceFields {
    int DevicePortNumber = 0;
    uint8_t DeviceIdentified = 0;
};

// Enumerates (through `system`), then probes each enumerated port and
// queries it when it opens, every port side by side on `crew`'s workers.
// The choice is what a search in turn makes: the first candidate, in
// ascending order, that answers as the transponder once every port before
// it has answered or stopped counting (its call hung past kPortCallLimit),
// and once every probe is known. The search ends with the choice; ports
// still being asked then are given up and left to the crew. Each port is
// asked once, however many devices carry its number. The lists come out as the
// search in turn makes them; lists.CandidatePorts is empty exactly when no
// device was chosen. The progress shows the share of ports done, 100 once
// the choice is made, 0 when none answered. The display hears a report of
// each port listed, then each probe and each query in port order, each with
// the time it was seen since the asking began, and the end.
// Without a crew, or when it can have no thread, the ports are asked in
// turn through `system` (every probe, then the queries in ascending order
// until one answers), the display answering the system before each call.
void DetectDeviceVersion(SerialPortSystem& system, PortLists& lists, DetectionDisplay& display,
                         DeviceFields& device, PortCrew* crew = nullptr);

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

// QueryDeviceVersion in two: the query sent, its reply read once it came.
std::unique_ptr<PendingExchange> SendVersionQuery(SerialPortSystem& system, int port);
uint8_t ReadVersionReply(PendingExchange& sent, int port, DetectionDisplay& display, DeviceFields& device,
                         QueryFacts* facts = nullptr);

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
