#include "ui/dpi_win.h"

#include "base/system_dll_win.h"
#include "base/system_dpi_win.h"

namespace ui {

int WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = win::LoadedFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow && hwnd) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return win::ScreenDpi();
}

void EnableFrameScaling(HWND hwnd) {
    using GetContextFn = HANDLE(WINAPI*)(HWND);
    using ContextsEqualFn = BOOL(WINAPI*)(HANDLE, HANDLE);
    using EnableFn = BOOL(WINAPI*)(HWND);
    static const auto getContext = win::LoadedFunction<GetContextFn>(L"user32.dll", "GetWindowDpiAwarenessContext");
    static const auto equal = win::LoadedFunction<ContextsEqualFn>(L"user32.dll", "AreDpiAwarenessContextsEqual");
    static const auto enable = win::LoadedFunction<EnableFn>(L"user32.dll", "EnableNonClientDpiScaling");
    if (!getContext || !equal || !enable) return;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE
    const HANDLE perMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
    if (equal(getContext(hwnd), perMonitor)) enable(hwnd);
}

RECT FrameAround(int width, int height, DWORD style, DWORD exStyle, int dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = win::LoadedFunction<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT frame{0, 0, width, height};
    if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        frame = RECT{0, 0, width, height};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

}  // namespace ui
