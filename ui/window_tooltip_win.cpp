// The window's tooltips: one tool for each component with a hint, shown
// while its page is shown, at the component's place at the window's scale.
#include "ui/window_win.h"

#include <commctrl.h>

#include "base/system_dll_win.h"

namespace ui {

// The tooltip needs the common controls, and is not needed before the
// window is on screen: it is made from the message loop, right after.
void MainWindow::createTooltip() {
    if (tooltip_ || !hwnd_) return;
    // comctl32 (version 6, from the side-by-side store) imports msimg32,
    // which is no known DLL: loaded from the system folder first, it is the
    // one those imports find, wherever the loader would have looked.
    win::SystemLibrary(L"msimg32.dll");
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = win::SystemFunction<InitFn>(L"comctl32.dll", "InitCommonControlsEx");
    if (!init) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    init(&icc);
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    syncTooltip();
}

void MainWindow::syncTooltip() {
    // A component with a hint shows it while its page is shown; each is a
    // tool of the tooltip, named by its place in the form.
    if (!tooltip_) return;
    const auto& all = form_->all();
    tooltips_.resize(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Component& c = *all[i];
        const bool want = c.showHint && OnShownPage(c);
        if (want == tooltips_[i]) continue;
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = hwnd_;
        ti.uId = i + 1;
        if (want) {
            ti.rect = scaledRect(c, scale_);
            ti.lpszText = const_cast<char*>(c.hint.c_str());
            SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        } else {
            SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
        tooltips_[i] = want;
    }
}

void MainWindow::moveTooltips() {
    for (std::size_t i = 0; i < tooltips_.size(); ++i) {
        if (!tooltips_[i]) continue;
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = hwnd_;
        ti.uId = i + 1;
        ti.rect = scaledRect(*form_->all()[i], scale_);
        SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

}  // namespace ui
