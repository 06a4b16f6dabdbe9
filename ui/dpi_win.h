// The display scaling of a window on Windows 7 to 11. The calls that came
// after Windows 7 are looked up at run time; without them the system DPI
// of the screen stands in.
#pragma once

#include <windows.h>

namespace ui {

// WM_DPICHANGED (Windows 8.1 and later): the window moved to a monitor of
// another DPI, or the user changed the scaling.
inline constexpr UINT kWmDpiChanged = 0x02E0;
// WM_GETDPISCALEDSIZE (Windows 10 1703 and later): asks, before such a
// move, for the window's size at the new DPI.
inline constexpr UINT kWmGetDpiScaledSize = 0x02E4;

// The DPI the window is drawn at: GetDpiForWindow where the system has it
// (Windows 10 1607 and later), otherwise the screen's LOGPIXELSX.
int WindowDpi(HWND hwnd);

// Where the window is per-monitor aware in the first way only (Windows 10
// 1607 does not know the second), switches on the scaling of its title bar
// and borders with the DPI: EnableNonClientDpiScaling, called from
// WM_NCCREATE. Elsewhere the system scales them already, or not at all.
void EnableFrameScaling(HWND hwnd);

// The window rectangle around a client area of width x height for the
// style, at the DPI: AdjustWindowRectExForDpi where the system has it,
// otherwise AdjustWindowRectEx (the system DPI's frame).
RECT FrameAround(int width, int height, DWORD style, DWORD exStyle, int dpi);

}  // namespace ui
