// Asks another program's top-level window to change its size, the ways a
// user's tools can, and prints what became of its client area after each:
//   window_requests CLASS
// prints lines "<request> <width>x<height> zoomed=<0|1>", the first for the
// window as found; exits 1 when no such window exists.
#include <windows.h>

#include <cstdio>

namespace {

void Report(HWND w, const char* request) {
    // Let the window handle what was posted to it before looking.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    RECT client{};
    GetClientRect(w, &client);
    std::printf("%s %ldx%ld zoomed=%d\n", request, client.right - client.left, client.bottom - client.top,
                IsZoomed(w) ? 1 : 0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_requests WINDOW_CLASS\n");
        return 2;
    }
    HWND w = FindWindowA(argv[1], nullptr);
    if (!w) return 1;
    Report(w, "found");
    // The title bar's double-click and the system menu post this.
    PostMessageA(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    Report(w, "syscommand-maximize");
    // The task bar's and other tools' way.
    ShowWindow(w, SW_MAXIMIZE);
    Report(w, "showwindow-maximize");
    ShowWindow(w, SW_RESTORE);
    Report(w, "showwindow-restore");
    // The system menu's Size command, then a new size as tools set it.
    PostMessageA(w, WM_SYSCOMMAND, SC_SIZE, 0);
    Report(w, "syscommand-size");
    SetWindowPos(w, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Report(w, "setwindowpos-size");
    return 0;
}
