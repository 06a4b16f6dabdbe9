// Program entry: the services of this Windows machine, then the wizard.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>

#include "app/platform_win.h"
#include "app/program_entry.h"
#include "app/single_instance_win.h"
#include "base/log_system_win.h"
#include "base/logged_dialogs.h"
#include "base/system_dll_win.h"
#include "ui/window_win.h"

namespace {

int run() {
    // The log for support sees every box, of the window and of start-up.
    win::LogFile logFile;
    base::Log log(&logFile);
    ui::MainWindow window;
    app::WinDialogs windowDialogs(window);
    base::LoggedDialogs dialogs(windowDialogs, log);
    app::WinDesktop desktop(window);
    auto hostPreparation = hostprep::makeSystemHostPreparation(dialogs);
    // The copy worker's and the port worker's threads are never joined: a
    // copy that did not stop in time on exit, or a look at a port whose
    // driver hangs, may still run when the window goes. What they work
    // with lives as long as the process.
    static serial::SerialPortSystem& ports = *serial::makeSystemSerialPorts().release();
    static bootdrive::DriveSystem& drives = *bootdrive::makeSystemDrives().release();
    static bootdrive::FileCopier& copier = *bootdrive::makeSystemFileCopier().release();
    app::Services services{dialogs, desktop, *hostPreparation, ports, drives, copier, log,
                           package::SystemImageFiles()};
    // A copy still running when the window closes ends with the process.
    return app::RunWizard(services);
}

void showError(const char* text) { MessageBoxA(nullptr, text, app::kApplicationTitle, MB_OK | MB_ICONERROR); }

// The boxes of a start that has no window of its own.
class UnownedDialogs final : public base::Dialogs {
public:
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        return MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before any window, box or DLL load: no DLL beside the program or in
    // the current folder is ever loaded.
    win::RestrictDllSearchToSystemFolder();
    // An empty card reader or floppy drive among the drive letters must
    // not raise the system's "There is no disk in the drive" box: it would
    // hold this thread while the wait for the boot drive runs out. The
    // flags already set are kept.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // One wizard at a time, decided before anything else is asked or shown;
    // the lock is held until the process ends.
    app::WinInstanceSystem instance;
    UnownedDialogs dialogs;
    if (!app::ClaimSingleInstance(instance, dialogs)) return 0;
    // What fails before the wizard's own services exist is shown the same way.
    try {
        return run();
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("");
    }
    return 0;
}
