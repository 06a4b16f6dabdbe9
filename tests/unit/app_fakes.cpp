#include "tests/unit/app_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ui/window_failure.h"

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
