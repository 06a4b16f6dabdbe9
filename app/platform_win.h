// The desktop services of the main window on Windows.
#pragma once

#include <windows.h>

#include "app/platform.h"
#include "ui/window_win.h"

namespace app {

class WinDialogs final : public Dialogs {
public:
    explicit WinDialogs(const ui::MainWindow& window) : window_(window) {}
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;

private:
    const ui::MainWindow& window_;
};

class WinDesktop final : public Desktop {
public:
    explicit WinDesktop(ui::MainWindow& window) : window_(window) {}
    void createWindow(ui::Form& form) override { window_.create(form); }
    void showWindow() override { window_.show(); }
    void runMessageLoop() override;
    void setCloseRequest(std::function<bool()> decide) override { window_.onCloseRequest(std::move(decide)); }
    void releaseWindow() override {
        events_ = nullptr;
        window_.detach();
    }
    std::string programPath() override;
    bool programPathFitsCodePage() override;
    std::string tempFolder() override;
    std::string longPathOf(const std::string& path) override;
    OsVersion osVersion() override;
    void registerPortNotifications() override;
    void openWebPage(const std::string& address) override;
    void terminate() override;
    void closeWindow() override;
    void answerSystem() override;
    void setSystemEvents(SystemEvents* events) override;
    void holdSession(bool hold) override;
    void keepAwake(bool awake) override;
    bool waitAnswering(const std::function<bool()>& done, std::chrono::milliseconds limit) override;
    void waitServing(const std::function<bool()>& done) override;

private:
    // Windows' own events for the wizard: the end of the session, AutoPlay,
    // sleep and wake-up.
    bool systemMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // Tells Windows whether the PC must stay awake: for an upgrade under
    // way or for the version watch.
    void applyExecutionState();

    ui::MainWindow& window_;
    SystemEvents* events_ = nullptr;
    bool sessionHeld_ = false;
    bool keptAwake_ = false;
};

}  // namespace app
