// Fakes behind the main window's seams, and a rig that builds the window
// headless on them. The fakes stand in for Windows only: detection, boot
// drive recognition, the catalogue and the copy worker are the real core
// code, driven through these seams.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Mainform.h"

namespace apptest {

// One ordered record of every call made through a seam, shared by the
// fakes of one rig: "box:<text>", "CheckIndexingPolicy", "terminate", ...
using CallLog = std::vector<std::string>;

// A message box as the window showed it, with what the window showed at
// that moment.
struct Box {
    std::string text;
    std::string caption;
    unsigned flags = 0;
    std::string activePage;  // name of the active page while the box is up
    int stage = -1;          // the window's UpgradeStage while the box is up
};

class FakeDialogs : public app::Dialogs {
public:
    explicit FakeDialogs(CallLog& log) : log_(log) {}
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;

    std::vector<Box> boxes;
    std::vector<int> answers;               // answers in turn; OK when used up
    std::function<void()> whileShown;       // runs inside each box (nested timer ticks)
    const ui::Form* layout = nullptr;      // set when the window is created
    const app::TFormMain* form = nullptr;   // set by the rig once it is built

private:
    CallLog& log_;
};

// Records every property change and forced repaint of every component.
class RecordingObserver : public ui::ComponentObserver {
public:
    struct Event {
        std::string component;
        ui::Prop prop;
    };
    void changed(ui::Component& c, ui::Prop p) override {
        events.push_back({c.name, p});
        if (also) also(c, p);
    }
    void repaintNow(ui::Component& c) override { repaints.push_back(c.name); }

    int count(const std::string& component, ui::Prop p) const;
    int repaintCount(const std::string& component) const;

    std::vector<Event> events;
    std::vector<std::string> repaints;
    std::function<void(ui::Component&, ui::Prop)> also;  // what else follows each change
};

// Holds the layout it was given as the real window does, and lets go of it
// only when released: a window that outlives its layout unreleased walks
// freed components when it goes (AddressSanitizer reports it).
class FakeDesktop : public app::Desktop {
public:
    FakeDesktop(CallLog& log, FakeDialogs& dialogs) : log_(log), dialogs_(dialogs) {}
    ~FakeDesktop() override;
    void createWindow(ui::Form& form) override;
    void showWindow() override;
    void runMessageLoop() override;
    void setCloseRequest(std::function<bool()> decide) override;
    void releaseWindow() override;
    std::string programPath() override;
    bool programPathFitsCodePage() override { return pathFitsCodePage; }
    std::string tempFolder() override { return temp; }
    // A path that begins with a key of longNames, with that part long.
    std::string longPathOf(const std::string& p) override {
        for (const auto& [shortName, longName] : longNames)
            if (p.rfind(shortName, 0) == 0) return longName + p.substr(shortName.size());
        return p;
    }
    app::OsVersion osVersion() override;
    void registerPortNotifications() override;
    void openWebPage(const std::string& address) override;
    void terminate() override;
    void closeWindow() override;
    void answerSystem() override;
    void setSystemEvents(app::SystemEvents* e) override { events = e; }
    void holdSession(bool hold) override { held = hold; }
    void keepAwake(bool a) override { awake = a; }
    // Polls `done` as the window's thread would between messages.
    bool waitAnswering(const std::function<bool()>& done, std::chrono::milliseconds limit) override;
    // Polls `done`, running whileServing (what the window may do
    // meanwhile: a timer, a close request) before each look.
    void waitServing(const std::function<bool()>& done) override;
    std::function<void()> whileServing;
    int servedWaits = 0;

    app::SystemEvents* events = nullptr;  // what Windows' own events reach
    bool held = false;                    // the session and the PC are held for an upgrade
    bool awake = false;                   // the PC is kept awake for the version watch
    std::string path = "/nowhere/FirmwareUpgrade.exe";
    bool pathFitsCodePage = true;
    std::string temp = "/nowhere/Temp/";
    std::map<std::string, std::string> longNames;  // folders in 8.3 names and their long ones
    int answers = 0;                      // answerSystem calls
    std::function<void()> whileAnswering;  // runs inside each (what a sent message may do)
    app::OsVersion version{6, 1};
    std::vector<std::string> webPages;
    RecordingObserver observer;
    std::function<bool()> closeRequest;
    std::function<void()> messageLoop;  // what the message loop does; nothing by default
    // The system's reason when the window cannot be made, or is not shown.
    std::string createFails, showFails;

private:
    void letGo();
    CallLog& log_;
    FakeDialogs& dialogs_;
    ui::Form* window_ = nullptr;
};

class FakeHostPreparation : public hostprep::HostPreparation {
public:
    explicit FakeHostPreparation(CallLog& log) : log_(log) {}
    int CheckIndexingPolicy() override;
    void WriteResumeEntry() override;
    void RestartWindows() override;

    int result = hostprep::kPolicyInForce;
    // What start-up had done when the policy was asked for.
    std::string imagePathAtCheck;
    std::string programFolderAtCheck;

private:
    CallLog& log_;
};

// Serial ports: friendly names, openable ports and the device's replies.
class FakeSerialPorts : public serial::SerialPortSystem {
public:
    struct Exchange {
        int port;
        serial::CommTimeouts timeouts;
        std::string out;
        std::size_t readMax;
    };
    bool listPortDevices(std::vector<serial::PortDevice>& devices) override;
    uint32_t openExclusive(int port) override;
    serial::Exchanged exchange(int port, const serial::CommTimeouts& timeouts, const std::string& out,
                               std::size_t readMax, std::string& in) override;

    // A present, openable port whose device answers the version query with
    // `reply` (empty: silent). Set openable[port] false and another program
    // holds it.
    void addPort(int port, const std::string& reply);
    // Exchanges that wrote the boot command.
    std::vector<Exchange> bootCommands() const;
    // The next call on `port` hangs until release(), as a driver may while
    // its device re-enumerates; meanwhile the port's handle is still open,
    // and every other open of it is refused, as the driver refuses it.
    void hangNextCall(int port);
    bool hanging();  // the call hangs now
    void release();
    // Calls begun and not yet returned.
    std::size_t callsInHand();

    std::vector<serial::PortDevice> devices;
    std::map<int, bool> openable;
    std::map<int, std::string> replies;
    std::vector<Exchange> exchanges;
    std::vector<int> opens;  // every port an open was tried on, probe or exchange, in order
    int calls = 0;  // every call of any kind
    std::map<int, std::chrono::milliseconds> delays;  // exchanges that answer only after a while
    std::size_t mostAtOnce = 0;  // exchanges in their delay at once, at most
    bool cancellable = false;    // a hung call also returns once given up, as its driver lets it

private:
    void maybeHang(int port);
    void answerAfterDelay(int port);
    std::size_t inFlight_ = 0;
    std::size_t inHand_ = 0;
    struct Counted;
    bool heldByHungCall(int port);
    std::mutex recordMutex_;  // the calls come from workers side by side
    std::mutex hangMutex_;
    std::condition_variable hangChanged_;
    int hangPort_ = 0;
    enum class Hang { None, Armed, Hanging, Released, Over } hang_ = Hang::None;
};

// Drive letters: type, volume label and the *.txt names of the root.
class FakeDrives : public bootdrive::DriveSystem {
public:
    struct Drive {
        unsigned type = bootdrive::kDriveRemovable;
        std::optional<std::string> label;  // none: the volume cannot be read
        std::vector<std::string> txtNames;
        std::map<std::string, uint64_t> files;  // other files of the root, with their sizes
    };
    uint32_t logicalDrives() override;
    unsigned driveType(char letter) override;
    bool volumeLabel(char letter, std::string& label) override;
    bool rootTxtNames(char letter, std::vector<std::string>& names) override;
    bool rootOpens(char letter) override { return drives.count(letter) != 0; }
    std::optional<uint64_t> rootFileSize(char letter, const std::string& name) override;

    // A removable drive labelled as the device's boot drive.
    void addBootDrive(char letter, bool ready);
    void setReady(char letter, bool ready);

    std::map<char, Drive> drives;
    std::atomic<int> scans{0};  // FindBootDrive calls: every scan starts with the list of letters
};

// The copy as the worker thread runs it. It lives for the whole test run
// because the worker thread may outlive the window that created it.
class FakeCopier : public bootdrive::FileCopier {
public:
    struct Copy {
        std::string from, to;
    };
    static FakeCopier& instance();
    bootdrive::CopyResult copyFile(const char* from, const char* to, const std::atomic<bool>& stop) override;
    void nameThisThread(const char* name) override;

    void reset();
    // How a copy ends. By default it runs until endCopies() (or the rig's
    // end), and the test sets CopyProgressPercent between ticks; with
    // `succeed` or `failWith` (a Windows error) set it ends at once.
    std::atomic<bool> succeed{false};
    std::atomic<uint32_t> failWith{0};
    // A copy that does not stop when asked (Windows does not call its
    // progress routine while the drive hangs).
    std::atomic<bool> ignoreStop{false};
    std::atomic<bool> withoutWords{false};  // the failure has no text from Windows
    std::string unconfirmed;  // a whole copy not confirmed on the device: why (set before it ends)
    std::string fault;        // a failed copy's plain words (set before it ends)
    // Ends the copies under way, with failWith's error (or success).
    void endCopies();
    // Waits up to `limit` until at least n copies have run.
    bool waitForCopies(std::size_t n, std::chrono::milliseconds limit);
    std::vector<Copy> copies();

private:
    FakeCopier() = default;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Copy> copies_;
    uint64_t started_ = 0;
    uint64_t ended_ = 0;
};

// A temporary program folder, removed again at the end.
class ProgramDir {
public:
    ProgramDir();
    ~ProgramDir();
    ProgramDir(const ProgramDir&) = delete;
    ProgramDir& operator=(const ProgramDir&) = delete;
    // Writes Bin/<name> (the program's "Bin\<name>").
    void writeBin(const std::string& name, const std::string& content);
    const std::string& path() const { return path_; }  // ends in '/'

private:
    std::string path_;
};

// Resets the process-wide values of the window and the copy worker.
void resetGlobals();

// The window built on fakes. Arrange the fakes with the constructor's
// callback (it runs before the window is built), then act on `form()`.
class Rig {
public:
    struct Options {
        bool imagePresent = true;
        std::string catalogue = "Image,Version\nBin\\App_K40.SBIN,2.05\n";
        app::OsVersion version{6, 1};
        int policy = hostprep::kPolicyInForce;
        bool buildForm = true;  // false: the test builds it, e.g. through the program entry
        bool shown = true;      // the window comes on screen, and the image's check has its verdict
    };
    Rig() : Rig(Options{}) {}
    explicit Rig(const Options& options, const std::function<void(Rig&)>& arrange = {});
    ~Rig();

    app::TFormMain& form() { return *form_; }
    // Lets the window go now, as the program does once its loop has ended.
    void endProgram() {
        dialogs.form = nullptr;
        form_.reset();
    }
    bool hasForm() const { return form_ != nullptr; }
    ui::Component& get(const std::string& name) { return form_->layout().get(name); }
    std::string activePage();

    // User actions and timer ticks, through the components' bindings.
    void click(const std::string& component) { get(component).onClick(); }
    void clickStart() { click("SpeedButtonStart"); }
    void clickYes() { click("SpeedButtonFrmVerWantToContinueYes"); }
    void clickNo() { click("SpeedButtonFrmVerWantToContinueNo"); }
    void clickFinish() { click("SpeedButtonFrmUpgFinish"); }
    void tick(int n = 1);   // control timer
    void blink(int n = 1);  // blink timer

    CallLog log;
    base::Log supportLog;  // writes nowhere
    FakeDialogs dialogs{log};
    FakeDesktop desktop{log, dialogs};
    FakeHostPreparation host{log};
    FakeSerialPorts ports;
    FakeDrives drives;
    FakeCopier& copier = FakeCopier::instance();
    ProgramDir dir;
    app::Services services{dialogs, desktop, host, ports, drives, copier, supportLog, package::StandardImageFiles()};

private:
    std::unique_ptr<app::TFormMain> form_;
};

// The device's version reply: field 9 carries `version`.
std::string versionReply(const std::string& version, const std::string& model = "AIS-B-K40");

}  // namespace apptest
