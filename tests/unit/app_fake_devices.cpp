// The fakes of the devices: the serial ports, the drives and the copier.
#include "tests/unit/app_fakes.h"

#include <algorithm>
#include <thread>

#include "serial/port_call.h"

namespace apptest {

bool FakeSerialPorts::listPortDevices(std::vector<serial::PortDevice>& out) {
    const std::lock_guard<std::mutex> lock(recordMutex_);
    ++calls;
    out = devices;
    return true;
}

void FakeSerialPorts::hangNextCall(int port) {
    std::lock_guard<std::mutex> lock(hangMutex_);
    hangPort_ = port;
    hang_ = Hang::Armed;
}

bool FakeSerialPorts::hanging() {
    std::lock_guard<std::mutex> lock(hangMutex_);
    return hang_ == Hang::Hanging;
}

void FakeSerialPorts::release() {
    std::lock_guard<std::mutex> lock(hangMutex_);
    if (hang_ == Hang::Hanging) hang_ = Hang::Released;
    hangChanged_.notify_all();
}

void FakeSerialPorts::maybeHang(int port) {
    const auto call = serial::PortCall::Current();
    std::unique_lock<std::mutex> lock(hangMutex_);
    if (hang_ != Hang::Armed || port != hangPort_) return;
    hang_ = Hang::Hanging;
    while (hang_ != Hang::Released && !(cancellable && call && call->stopped()))
        hangChanged_.wait_for(lock, std::chrono::milliseconds(1));
    hang_ = Hang::Over;
}

// Counts a call from its beginning to its return.
struct FakeSerialPorts::Counted {
    explicit Counted(FakeSerialPorts& p) : ports(p) { const std::lock_guard<std::mutex> lock(p.recordMutex_); ++p.inHand_; }
    ~Counted() { const std::lock_guard<std::mutex> lock(ports.recordMutex_); --ports.inHand_; }
    FakeSerialPorts& ports;
};

std::size_t FakeSerialPorts::callsInHand() {
    const std::lock_guard<std::mutex> lock(recordMutex_);
    return inHand_;
}

bool FakeSerialPorts::heldByHungCall(int port) {
    std::lock_guard<std::mutex> lock(hangMutex_);
    return hang_ == Hang::Hanging && port == hangPort_;
}

uint32_t FakeSerialPorts::openExclusive(int port) {
    const Counted counted(*this);
    const bool refused = heldByHungCall(port);
    maybeHang(port);
    const std::lock_guard<std::mutex> lock(recordMutex_);
    ++calls;
    opens.push_back(port);
    if (refused) return serial::kErrorAccessDenied;
    auto it = openable.find(port);
    if (it == openable.end()) return 2;  // ERROR_FILE_NOT_FOUND
    return it->second ? serial::kPortOpened : serial::kErrorAccessDenied;
}

void FakeSerialPorts::answerAfterDelay(int port) {
    const auto delay = delays.find(port);
    if (delay == delays.end()) return;
    std::unique_lock<std::mutex> lock(recordMutex_);
    mostAtOnce = std::max(mostAtOnce, ++inFlight_);
    lock.unlock(), std::this_thread::sleep_for(delay->second), lock.lock();
    --inFlight_;
}

serial::Exchanged FakeSerialPorts::exchange(int port, const serial::CommTimeouts& timeouts, const std::string& out,
                                            std::size_t readMax, std::string& in) {
    const Counted counted(*this);
    const bool refused = heldByHungCall(port);
    maybeHang(port);
    answerAfterDelay(port);
    const std::lock_guard<std::mutex> lock(recordMutex_);
    ++calls;
    opens.push_back(port);
    in.clear();
    if (refused) return {false, 0, 0, serial::kErrorAccessDenied};
    auto it = openable.find(port);
    if (it == openable.end()) return {false, 0, 0, 2};  // ERROR_FILE_NOT_FOUND
    if (!it->second) return {false, 0, 0, serial::kErrorAccessDenied};
    exchanges.push_back({port, timeouts, out, readMax});
    const auto reply = replies.find(port);
    if (readMax > 0 && reply != replies.end()) in = reply->second.substr(0, readMax);
    return {true, out.size(), 0};
}

void FakeSerialPorts::addPort(int port, const std::string& reply) {
    const std::string n = std::to_string(port);
    devices.push_back({"USB Serial Port (COM" + n + ")", "USB\\VID_0403&PID_6001\\A" + n});
    openable[port] = true;
    replies[port] = reply;
}

std::vector<FakeSerialPorts::Exchange> FakeSerialPorts::bootCommands() const {
    std::vector<Exchange> sent;
    for (const auto& e : exchanges)
        if (e.out.find("$PDBG") != std::string::npos) sent.push_back(e);
    return sent;
}

uint32_t FakeDrives::logicalDrives() {
    ++scans;
    uint32_t bits = 0;
    for (const auto& entry : drives) bits |= 1u << (entry.first - 'A');
    return bits;
}

unsigned FakeDrives::driveType(char letter) {
    auto it = drives.find(letter);
    return it == drives.end() ? 1u /* no root folder */ : it->second.type;
}

bool FakeDrives::volumeLabel(char letter, std::string& label) {
    auto it = drives.find(letter);
    if (it == drives.end() || !it->second.label) return false;
    label = *it->second.label;
    return true;
}

bool FakeDrives::rootTxtNames(char letter, std::vector<std::string>& names) {
    auto it = drives.find(letter);
    if (it == drives.end() || it->second.txtNames.empty()) return false;
    names = it->second.txtNames;
    return true;
}

std::optional<uint64_t> FakeDrives::rootFileSize(char letter, const std::string& name) {
    auto it = drives.find(letter);
    if (it == drives.end() || it->second.files.count(name) == 0) return std::nullopt;
    return it->second.files.at(name);
}

void FakeDrives::addBootDrive(char letter, bool ready) {
    drives[letter] = Drive{bootdrive::kDriveRemovable, std::string("VAZ UD40"), {}, {}};
    setReady(letter, ready);
}

void FakeDrives::setReady(char letter, bool ready) {
    auto& names = drives[letter].txtNames;
    names.clear();
    names.push_back("NOTES.TXT");
    if (ready) names.push_back("READY.TXT");
}

FakeCopier& FakeCopier::instance() {
    static FakeCopier* copier = new FakeCopier;  // never destroyed: see the class
    return *copier;
}

bootdrive::CopyResult FakeCopier::copyFile(const char* from, const char* to, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(m_);
    copies_.push_back({from, to});
    const uint64_t mine = ++started_;
    cv_.notify_all();
    while (!succeed && failWith == 0 && ended_ < mine)
        if (!cv_.wait_for(lock, std::chrono::milliseconds(5), [&] { return ended_ >= mine; }) && stop && !ignoreStop)
            return {1235u, "The request was aborted.", true, "", "", ""};
    if (succeed) return {0, "", false, unconfirmed, "", ""};
    // A copy the rig ended counts as cut off (ERROR_OPERATION_ABORTED).
    return {failWith != 0 ? failWith.load() : 995u, withoutWords ? "" : "There is not enough space on the disk.", true,
            "", fault, ""};
}

void FakeCopier::endCopies() {
    std::lock_guard<std::mutex> lock(m_);
    ended_ = started_;
    cv_.notify_all();
}

void FakeCopier::nameThisThread(const char*) {}

void FakeCopier::reset() {
    endCopies();
    std::lock_guard<std::mutex> lock(m_);
    copies_.clear();
    succeed = false;
    failWith = 0;
    ignoreStop = false;
    withoutWords = false;
    unconfirmed.clear();
    fault.clear();
}

bool FakeCopier::waitForCopies(std::size_t n, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, limit, [&] { return copies_.size() >= n; });
}

std::vector<FakeCopier::Copy> FakeCopier::copies() {
    std::lock_guard<std::mutex> lock(m_);
    return copies_;
}

}  // namespace apptest
