#include "tests/unit/app_fakes.h"

#include "serial/port_call.h"

#include <thread>

#include <gtest/gtest.h>

#include "ui/window_failure.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace apptest {

namespace fs = std::filesystem;

int FakeDialogs::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    log_.push_back("box:" + text);
    Box box{text, caption, flags, "", -1};
    if (layout) {
        const ui::Component* page = layout->get("PageControlFirmwareUpgradeStage").activePage();
        box.activePage = page ? page->name : "";
    }
    if (form) box.stage = form->UpgradeStage;
    boxes.push_back(box);
    if (whileShown) whileShown();
    if (answers.empty()) return app::kIdOk;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

int RecordingObserver::count(const std::string& component, ui::Prop p) const {
    int n = 0;
    for (const auto& e : events)
        if (e.component == component && e.prop == p) ++n;
    return n;
}

int RecordingObserver::repaintCount(const std::string& component) const {
    int n = 0;
    for (const auto& r : repaints)
        if (r == component) ++n;
    return n;
}

FakeDesktop::~FakeDesktop() { letGo(); }

void FakeDesktop::letGo() {
    if (window_)
        for (const auto& c : window_->all()) c->setObserver(nullptr);
    window_ = nullptr;
    dialogs_.layout = nullptr;
    closeRequest = nullptr;
}

void FakeDesktop::createWindow(ui::Form& layout) {
    log_.push_back("createWindow");
    window_ = &layout;
    for (const auto& c : layout.all()) c->setObserver(&observer);
    dialogs_.layout = &layout;
    // As the real one, made as far as the failing call.
    if (!createFails.empty()) throw ui::WindowFailure("the main window could not be made", createFails);
}

void FakeDesktop::showWindow() {
    if (!showFails.empty()) throw ui::WindowFailure("the main window was not shown", showFails);
    log_.push_back("showWindow");
}

void FakeDesktop::runMessageLoop() {
    log_.push_back("runMessageLoop");
    if (messageLoop) messageLoop();
}

void FakeDesktop::setCloseRequest(std::function<bool()> decide) { closeRequest = std::move(decide); }

void FakeDesktop::releaseWindow() {
    if (!window_) return;
    log_.push_back("releaseWindow");
    letGo();
}

std::string FakeDesktop::programPath() {
    log_.push_back("programPath");
    return path;
}

app::OsVersion FakeDesktop::osVersion() {
    log_.push_back("osVersion");
    return version;
}

void FakeDesktop::registerPortNotifications() { log_.push_back("registerPortNotifications"); }

void FakeDesktop::openWebPage(const std::string& address) {
    log_.push_back("openWebPage");
    webPages.push_back(address);
}

void FakeDesktop::terminate() { log_.push_back("terminate"); }

void FakeDesktop::closeWindow() { log_.push_back("closeWindow"); }

void FakeDesktop::answerSystem() {
    ++answers;
    if (whileAnswering) whileAnswering();
}

bool FakeDesktop::waitAnswering(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void FakeDesktop::waitServing(const std::function<bool()>& done) {
    ++servedWaits;
    for (;;) {
        if (whileServing) whileServing();
        if (done()) return;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

int FakeHostPreparation::CheckIndexingPolicy() {
    log_.push_back("CheckIndexingPolicy");
    imagePathAtCheck = bootdrive::FirmwareImagePath;
    programFolderAtCheck = app::ProgramFolder;
    return result;
}

void FakeHostPreparation::WriteResumeEntry() { log_.push_back("WriteResumeEntry"); }

void FakeHostPreparation::RestartWindows() { log_.push_back("RestartWindows"); }

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

ProgramDir::ProgramDir() {
    std::string pattern = (fs::temp_directory_path() / "wizard-app-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern + "/";
    fs::create_directories(path_ + "Bin");
}

ProgramDir::~ProgramDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void ProgramDir::writeBin(const std::string& name, const std::string& content) {
    std::ofstream(path_ + "Bin/" + name, std::ios::binary) << content;
}

void resetGlobals() {
    app::Upgrade = app::UpgradeVariables{};
    app::ProgramFolder.clear();
    bootdrive::CopyProgressPercent.store(0);
    bootdrive::CopySettlingSince.store(0);
    bootdrive::FirmwareImagePath[0] = '\0';
    bootdrive::FirmwareTargetPath[0] = '\0';
}

Rig::Rig(const Options& options, const std::function<void(Rig&)>& arrange) {
    resetGlobals();
    copier.reset();
    if (options.imagePresent) dir.writeBin("App_K40.SBIN", "firmware image bytes");
    dir.writeBin("Firmware.csv", options.catalogue);
    desktop.path = dir.path() + "FirmwareUpgrade.exe";
    desktop.version = options.version;
    host.result = options.policy;
    if (arrange) arrange(*this);
    if (!options.buildForm) return;
    form_ = std::make_unique<app::TFormMain>(services);
    dialogs.form = form_.get();
    if (!options.shown || form_->terminated()) return;
    form_->FormShow();
    for (int i = 0; i < 5000 && get("TimerImageCheck").enabled(); ++i) {
        click("TimerImageCheck");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

Rig::~Rig() {
    // Let every copy this window started reach the copier before the next
    // rig resets it. Each StartFirmwareCopy sets the bar's range twice.
    const int started = desktop.observer.count("ProgressBar2", ui::Prop::Range) / 2;
    if (started > 0) copier.waitForCopies(static_cast<std::size_t>(started), std::chrono::seconds(2));
    copier.endCopies();
    dialogs.form = nullptr;
    dialogs.layout = nullptr;
}

std::string Rig::activePage() {
    const ui::Component* page = get("PageControlFirmwareUpgradeStage").activePage();
    return page ? page->name : "";
}

void Rig::tick(int n) {
    for (int i = 0; i < n; ++i) get("TimerCopyFileProgressCTL").onClick();
}

void Rig::blink(int n) {
    for (int i = 0; i < n; ++i) get("TimerBlinkingText").onClick();
}

std::string versionReply(const std::string& version, const std::string& model) {
    // Field 0 "$AIVER", field 1 the model, fields 2..8, field 9 the version.
    return "$AIVER," + model + ",1,2,3,4,5,6,7," + version + ",A*00\r\n";
}

}  // namespace apptest
