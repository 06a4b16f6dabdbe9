// Program entry: the application, its main window and the message loop.
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <memory>

#include "app/Mainform.h"
#include "app/platform_win.h"
#include "app/window_win.h"

namespace {

int run() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    app::MainWindow window;
    app::WinDialogs dialogs(window);
    app::WinDesktop desktop(window);
    auto hostPreparation = hostprep::makeSystemHostPreparation(dialogs);
    auto ports = serial::makeSystemSerialPorts();
    auto drives = bootdrive::makeSystemDrives();
    // The copy worker is never stopped and may still be copying when the
    // window goes: what it copies with lives as long as the process.
    static bootdrive::FileCopier& copier = *bootdrive::makeSystemFileCopier().release();
    app::Services services{dialogs, desktop, *hostPreparation, *ports, *drives, copier};

    app::TFormMain form(services);
    window.onCloseRequest([&form] { return form.FormClose(); });
    if (!form.terminated()) window.show();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    window.detach();
    // The copy worker is not waited for: a copy still running ends with the
    // process.
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        return run();
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), app::kApplicationTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxA(nullptr, "", app::kApplicationTitle, MB_OK | MB_ICONERROR);
    }
    return 0;
}
