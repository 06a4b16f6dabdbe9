#include "base/system_dpi_win.h"

#include <windows.h>

#include "base/system_dll_win.h"
#include "base/unique_handle_win.h"

namespace win {

int ScreenDpi() {
    const ScreenDc screen(GetDC(nullptr));
    const int dpi = screen.valid() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto getDpiForSystem = LoadedFunction<GetDpiForSystemFn>(L"user32.dll", "GetDpiForSystem");
    const UINT dpi = getDpiForSystem ? getDpiForSystem() : 0;
    return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

}  // namespace win
