// The system's display scaling, on Windows 7 to 11.
#pragma once

namespace win {

// The screen's DPI (LOGPIXELSX of the screen's device context); 96 when
// it cannot be read.
int ScreenDpi();

// The DPI of the primary monitor, where a window first comes up:
// GetDpiForSystem where the system has it (Windows 10 1607 and later),
// otherwise ScreenDpi.
int SystemDpi();

}  // namespace win
