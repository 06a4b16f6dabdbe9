// Answers the wizard's message boxes for the end-to-end scripts, as a user
// would with the mouse, and reports what they said.
//   wizard_driver box CAPTION BUTTON SECONDS   wait for a box, print its text, press OK or Cancel
//   wizard_driver default CAPTION SECONDS      wait for a box, print its default button (OK, Cancel), press nothing
//   wizard_driver nobox CAPTION SECONDS        succeed if no such box comes within the time
//   wizard_driver gone SECONDS                 wait until the wizard's window is gone
//   wizard_driver minimise                     minimise the wizard as its title bar button does
//   wizard_driver shown SECONDS                wait until the wizard's window is on screen, not minimised
//   wizard_driver unseen SECONDS               succeed if the wizard's hidden window goes without showing
//   wizard_driver count                        print how many wizard windows are on screen
//   wizard_driver boxes CAPTION                print how many boxes of that caption are on screen
//   wizard_driver front                        print the caption of the foreground window
//   wizard_driver loadlib NAME                 load a DLL by its bare name, searching as Windows does
//                                              by default (the program's own folder first)
//   wizard_driver logoff                       ask the wizard whether the session may end, as Windows
//                                              does before a log-off; print its answer (1 lets it end)
//   wizard_driver autoplay                     ask the wizard, as Windows does before AutoPlay shows,
//                                              whether to cancel it; print its answer (1 cancels)
//   wizard_driver runonce FILE                 write the wizard's resume entry, read through the
//                                              wide registry calls, to FILE in UTF-8
//   wizard_driver announce COMn                tell the wizard that serial port COMn has come, as
//                                              Windows does when a USB serial device is plugged in
//   wizard_driver removed X                    tell the wizard that the volume X: has gone, as Windows
//                                              does when a drive is pulled or its device restarts
#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

std::string textOf(HWND h) {
    char buffer[1024] = {};
    GetWindowTextA(h, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK collectStatic(HWND h, LPARAM lp) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0) {
        const std::string t = textOf(h);
        if (!t.empty()) *reinterpret_cast<std::string*>(lp) += t;
    }
    return TRUE;
}

HWND findBox(const char* caption) { return FindWindowA("#32770", caption); }

bool waitFor(HWND (*find)(const char*), const char* arg, double seconds, HWND& out) {
    const DWORD limit = static_cast<DWORD>(seconds * 1000);
    const DWORD start = GetTickCount();
    for (;;) {
        out = find(arg);
        if (out && IsWindowVisible(out)) return true;
        if (GetTickCount() - start > limit) return false;
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "box") == 0) {
        HWND box = nullptr;
        if (!waitFor(findBox, argv[2], std::atof(argv[4]), box)) {
            std::printf("no box \"%s\"\n", argv[2]);
            return 1;
        }
        std::string text;
        EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        const int id = std::strcmp(argv[3], "Cancel") == 0 ? IDCANCEL : IDOK;
        HWND button = GetDlgItem(box, id);
        if (!button) return 2;
        SendMessageA(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "default") == 0) {
        HWND box = nullptr;
        if (!waitFor(findBox, argv[2], std::atof(argv[3]), box)) return 1;
        // The button that Enter presses has the default push button's
        // style. (Wine 8 answers DM_GETDEFID with the first button always.)
        const char* name = "none";
        for (const auto& [id, text] : {std::pair<int, const char*>{IDOK, "OK"}, {IDCANCEL, "Cancel"}}) {
            const HWND button = GetDlgItem(box, id);
            if (button && (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) name = text;
        }
        std::printf("%s\n", name);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "nobox") == 0) {
        HWND box = nullptr;
        return waitFor(findBox, argv[2], std::atof(argv[3]), box) ? 1 : 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "gone") == 0) {
        const DWORD limit = static_cast<DWORD>(std::atof(argv[2]) * 1000), start = GetTickCount();
        while (FindWindowA("TFormMain", nullptr)) {
            if (GetTickCount() - start > limit) return 1;
            Sleep(50);
        }
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "minimise") == 0) {
        HWND w = FindWindowA("TFormMain", nullptr);
        return w && PostMessageA(w, WM_SYSCOMMAND, SC_MINIMIZE, 0) ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "shown") == 0) {
        const DWORD limit = static_cast<DWORD>(std::atof(argv[2]) * 1000), start = GetTickCount();
        for (;;) {
            HWND w = FindWindowA("TFormMain", nullptr);
            HWND owner = w ? GetWindow(w, GW_OWNER) : nullptr;
            if (w && IsWindowVisible(w) && !(owner && IsIconic(owner))) return 0;
            if (GetTickCount() - start > limit) return 1;
            Sleep(50);
        }
    }
    if (argc >= 3 && std::strcmp(argv[1], "unseen") == 0) {
        const DWORD limit = static_cast<DWORD>(std::atof(argv[2]) * 1000), start = GetTickCount();
        HWND w = FindWindowA("TFormMain", nullptr);
        if (!w || IsWindowVisible(w)) return 2;
        std::printf("watching\n");
        std::fflush(stdout);
        for (; IsWindow(w); Sleep(2))
            if (IsWindowVisible(w) || GetTickCount() - start > limit) return 1;
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "count") == 0) {
        int n = 0;
        for (HWND w = FindWindowExA(nullptr, nullptr, "TFormMain", nullptr); w;
             w = FindWindowExA(nullptr, w, "TFormMain", nullptr))
            if (IsWindowVisible(w)) ++n;
        std::printf("%d\n", n);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "boxes") == 0) {
        int n = 0;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", argv[2]); w;
             w = FindWindowExA(nullptr, w, "#32770", argv[2]))
            if (IsWindowVisible(w)) ++n;
        std::printf("%d\n", n);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "front") == 0) {
        std::printf("%s\n", textOf(GetForegroundWindow()).c_str());
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "logoff") == 0 || std::strcmp(argv[1], "autoplay") == 0)) {
        HWND w = FindWindowA("TFormMain", nullptr);
        if (!w) return 1;
        const bool logoff = std::strcmp(argv[1], "logoff") == 0;
        const UINT msg = logoff ? WM_QUERYENDSESSION : RegisterWindowMessageA("QueryCancelAutoPlay");
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutA(w, msg, 0, logoff ? ENDSESSION_LOGOFF : 0, SMTO_NORMAL, 10000, &answer)) return 1;
        std::printf("%lu\n", static_cast<unsigned long>(answer));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "announce") == 0) {
        // Windows broadcasts this to top-level windows; Wine never sends it
        // for ports, but copies the structure to the other process.
        HWND w = FindWindowA("TFormMain", nullptr);
        if (!w) return 1;
        alignas(DEV_BROADCAST_PORT_A) char message[64] = {};
        const std::size_t name = offsetof(DEV_BROADCAST_PORT_A, dbcp_name);
        const std::size_t length = std::min(std::strlen(argv[2]), sizeof message - name - 1);
        std::memcpy(message + name, argv[2], length);
        auto* port = reinterpret_cast<DEV_BROADCAST_PORT_A*>(message);
        port->dbcp_size = static_cast<DWORD>(name + length + 1);
        port->dbcp_devicetype = DBT_DEVTYP_PORT;
        DWORD_PTR answer = 0;
        return SendMessageTimeoutA(w, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(port),
                                   SMTO_NORMAL, 10000, &answer)
                   ? 0
                   : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "removed") == 0) {
        // Windows broadcasts this to top-level windows; Wine keeps a drive
        // whose link went (its letter, its type) and says nothing.
        HWND w = FindWindowA("TFormMain", nullptr);
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(argv[2][0])));
        if (!w || letter < 'A' || letter > 'Z') return 1;
        DEV_BROADCAST_VOLUME volume{};
        volume.dbcv_size = sizeof volume;
        volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
        volume.dbcv_unitmask = 1u << (letter - 'A');
        DWORD_PTR answer = 0;
        return SendMessageTimeoutA(w, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume),
                                   SMTO_NORMAL, 10000, &answer)
                   ? 0
                   : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "loadlib") == 0) return LoadLibraryA(argv[2]) ? 0 : 1;
    if (argc >= 3 && std::strcmp(argv[1], "runonce") == 0) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                          KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return 1;
        wchar_t value[1024] = {};
        DWORD size = sizeof value - sizeof(wchar_t), type = 0;
        const LONG rc = RegQueryValueExW(key, L"VAR Uzudivid Orirere", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS || type != REG_SZ) return 1;
        char utf8[4096] = {};
        const int n = WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, nullptr, nullptr);
        FILE* out = std::fopen(argv[2], "wb");
        if (!out || n <= 0) return 1;
        std::fwrite(utf8, 1, static_cast<std::size_t>(n - 1), out);
        std::fclose(out);
        return 0;
    }
    std::fprintf(stderr, "usage: wizard_driver box CAPTION OK|Cancel SECONDS | default CAPTION SECONDS"
                         " | nobox CAPTION SECONDS | gone SECONDS | minimise | shown SECONDS | count | boxes CAPTION | front | logoff | autoplay"
                         " | loadlib NAME | runonce FILE | announce COMn\n");
    return 2;
}
