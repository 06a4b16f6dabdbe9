#include "app/platform_win.h"

#include <dbt.h>

#include <algorithm>
#include <cstring>

#include "base/system_dll_win.h"
#include "base/module_path_win.h"


namespace app {

static_assert(base::kMbOk == MB_OK && base::kMbOkCancel == MB_OKCANCEL && base::kMbDefButton2 == MB_DEFBUTTON2,
              "message box buttons");
static_assert(base::kMbIconError == MB_ICONERROR && base::kMbIconWarning == MB_ICONWARNING &&
                  base::kMbIconInformation == MB_ICONINFORMATION,
              "message box icons");
static_assert(base::kIdOk == IDOK && base::kIdCancel == IDCANCEL, "message box answers");

namespace {

// Windows sends it to the foreground window before it shows AutoPlay for a
// drive that came.
UINT QueryCancelAutoPlayMessage() {
    static const UINT message = RegisterWindowMessageA("QueryCancelAutoPlay");
    return message;
}

}  // namespace

int WinDialogs::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return MessageBoxA(window_.handle(), text.c_str(), caption.c_str(), flags);
}

std::string WinDesktop::programPath() { return win::ModuleFilePath(); }

bool WinDesktop::programPathFitsCodePage() { return win::ModulePathFitsCodePage(); }

std::string WinDesktop::tempFolder() { return win::LongTempFolder(); }

std::string WinDesktop::longPathOf(const std::string& path) { return win::LongPathName(path); }

OsVersion WinDesktop::osVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");
    if (!GetVersionExA(&info)) return OsVersion{};
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion};
}

void WinDesktop::registerPortNotifications() {
    // The serial and parallel port class; the wizard never acts on the
    // notifications, it finds the device by asking.
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    static_assert(sizeof(filter) == 32, "the broadcast filter is 32 bytes");
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID{0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
    RegisterDeviceNotificationA(window_.handle(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void WinDesktop::openWebPage(const std::string& address) {
    // The shell is needed for this click only: loaded then, from the system
    // folder, so that the wizard starts without it.
    using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    if (const auto shellExecute = win::SystemFunction<ShellExecuteFn>(L"shell32.dll", "ShellExecuteA"))
        shellExecute(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOW);
}

void WinDesktop::runMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void WinDesktop::terminate() { PostQuitMessage(0); }

void WinDesktop::closeWindow() { PostMessageA(window_.handle(), WM_CLOSE, 0, 0); }

void WinDesktop::answerSystem() {
    // A peek delivers the messages sent to this thread's windows before it
    // looks at the queue, and counts as the thread taking its messages;
    // with PM_NOREMOVE what it finds (a click, a key, a timer) stays queued.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void WinDesktop::setSystemEvents(SystemEvents* events) {
    events_ = events;
    if (events) {
        // Run as administrator, the window would not hear Explorer, which
        // runs with less: the one message it asks with is let through.
        // Windows 7 and later have the call.
        using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
        constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
        const auto filter = win::LoadedFunction<FilterFn>(L"user32.dll", "ChangeWindowMessageFilterEx");
        if (filter && QueryCancelAutoPlayMessage() != 0)
            filter(window_.handle(), QueryCancelAutoPlayMessage(), kAllow, nullptr);
        window_.setMessageHook([this](UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
            return systemMessage(msg, wp, lp, result);
        });
    } else {
        window_.setMessageHook(nullptr);
    }
}

namespace {

// The COM number of a port Windows announces ("COM7": 7); 0 for any other.
int ArrivedComPort(LPARAM lp) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_PORT) return 0;
    const char* name = reinterpret_cast<const DEV_BROADCAST_PORT_A*>(header)->dbcp_name;
    if (std::strncmp(name, "COM", 3) != 0) return 0;
    int port = 0;
    for (const char* p = name + 3; *p >= '0' && *p <= '9' && port < 100000; ++p) port = port * 10 + (*p - '0');
    return port;
}

// The drive letters of volumes Windows says went (bit 0 for A:); 0 for
// any other device.
uint32_t RemovedVolumes(LPARAM lp) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return 0;
    return reinterpret_cast<const DEV_BROADCAST_VOLUME*>(header)->dbcv_unitmask;
}

}  // namespace

bool WinDesktop::systemMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    const UINT queryCancelAutoPlay = QueryCancelAutoPlayMessage();
    if (!events_) return false;
    if (msg == queryCancelAutoPlay && msg != 0) {
        result = events_->cancelAutoPlay() ? TRUE : FALSE;
        return true;
    }
    switch (msg) {
        case WM_QUERYENDSESSION:
            result = events_->sessionMayEnd() ? TRUE : FALSE;
            return true;
        case WM_ENDSESSION:
            if (wp) events_->sessionEnds();
            result = 0;
            return true;
        case WM_DEVICECHANGE:
            // Sent to every top-level window when a serial port comes or a
            // volume goes.
            if (wp == DBT_DEVICEARRIVAL)
                if (const int port = ArrivedComPort(lp)) events_->portArrived(port);
            if (wp == DBT_DEVICEREMOVECOMPLETE)
                if (const uint32_t letters = RemovedVolumes(lp)) events_->drivesRemoved(letters);
            return false;
        case WM_POWERBROADCAST:
            // Sent on every wake-up; the user's own wake-up follows it.
            if (wp == PBT_APMSUSPEND) events_->powerChanged(true);
            if (wp == PBT_APMRESUMEAUTOMATIC) events_->powerChanged(false);
            return false;
        default:
            return false;
    }
}

void WinDesktop::holdSession(bool hold) {
    // A log-off or restart asked for meanwhile is refused with this reason
    // shown; the PC stays awake unless the user puts it to sleep (a closed
    // lid cannot be held off: the copy then fails and says so).
    if (hold)
        ShutdownBlockReasonCreate(window_.handle(),
                                  L"Firmware upgrade in progress. Do not turn off or disconnect the device.");
    else
        ShutdownBlockReasonDestroy(window_.handle());
    sessionHeld_ = hold;
    applyExecutionState();
}

void WinDesktop::keepAwake(bool awake) {
    keptAwake_ = awake;
    applyExecutionState();
}

void WinDesktop::applyExecutionState() {
    SetThreadExecutionState(ES_CONTINUOUS | (sessionHeld_ || keptAwake_ ? ES_SYSTEM_REQUIRED : 0));
}

bool WinDesktop::waitAnswering(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const DWORD total = static_cast<DWORD>(limit.count());
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= total) return false;
        // Messages sent to the window (Windows' pings, screen readers) are
        // answered by the peek, and paint is taken from the queue; clicks,
        // keys and timer ticks stay queued.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(total - spent, 20), QS_SENDMESSAGE | QS_PAINT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) DispatchMessageA(&msg);
    }
    return true;
}

namespace {

// Clicks and keys given to the window; Alt+F4 is the close request it
// stands for, and the frame (its close box, a move) is no such input.
bool IsWindowInput(const MSG& msg) {
    if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) return false;
    return (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
           (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
}

}  // namespace

void WinDesktop::waitServing(const std::function<bool()>& done) {
    bool quit = false;
    int quitCode = 0;
    while (!done()) {
        // Wakes for whatever comes, and at least every 10 ms to look again.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (!done() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(msg.wParam);
                continue;
            }
            if (IsWindowInput(msg)) continue;  // given while busy: never acts
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (quit) PostQuitMessage(quitCode);
}

}  // namespace app
