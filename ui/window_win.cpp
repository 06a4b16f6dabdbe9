#include "ui/window_win.h"

#include "base/system_dpi_win.h"
#include "base/system_message_win.h"
#include "ui/dpi_win.h"
#include "ui/painter_win.h"
#include "ui/window_failure.h"

namespace ui {

namespace {

// The owner is shown, so that the task bar lists it, but has no size.
constexpr DWORD kOwnerStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
// Posted to the owner: hand the activation on to the main window.
constexpr UINT kActivateMain = WM_APP + 1;
// Posted to the main window once it is on screen.
constexpr UINT kCreateTooltip = WM_APP + 2;

// How long a shown window may take to paint itself on a monitor.
constexpr DWORD kShowLimitMs = 30000;

// A window call failed: the error the system gave for it, in its words.
[[noreturn]] void Fail(const std::string& what, DWORD error) {
    if (error == 0) throw WindowFailure(what, "Windows gave no reason.");
    std::string words = win::SystemMessage(error);
    throw WindowFailure(what, "Windows says: " + (words.empty() ? "" : words + " ") + "(error " +
                                  std::to_string(error) + ")");
}

// The program's icon, large or small, loaded once for both window classes
// (shared icons from the program's resources: the system frees them).
HICON programIcon(HINSTANCE instance, bool small) {
    static const HICON large = LoadIconA(instance, MAKEINTRESOURCEA(1));
    static const HICON little =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_SHARED));
    return small ? little : large;
}

}  // namespace

MainWindow::MainWindow() : painter_(std::make_unique<Painter>()) {}

MainWindow::~MainWindow() { detach(); }

void MainWindow::detach() {
    if (form_)
        for (const auto& c : form_->all()) c->setObserver(nullptr);
    form_ = nullptr;
    closeRequest_ = nullptr;
    messageHook_ = nullptr;
    accessibility_.reset();
    if (hwnd_) DestroyWindow(hwnd_);  // its tooltip goes with it
    hwnd_ = nullptr;
    tooltip_ = nullptr;
    tooltips_.clear();
    if (owner_) DestroyWindow(owner_);
    owner_ = nullptr;
}

void MainWindow::createOwner(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MainWindow::route<&MainWindow::owner_, &MainWindow::handleOwner>;
    wc.hInstance = instance;
    wc.hIcon = programIcon(instance, false);
    wc.hIconSm = programIcon(instance, true);
    wc.lpszClassName = form_->ownerClass.c_str();
    RegisterClassExA(&wc);
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    SetLastError(0);
    if (!CreateWindowExA(0, form_->ownerClass.c_str(), form_->applicationTitle.c_str(), kOwnerStyle, x, y, 0, 0,
                         nullptr, nullptr, instance, this))
        Fail("the task bar's window could not be made", GetLastError());
}

void MainWindow::create(Form& form) {
    form_ = &form;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    createOwner(instance);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &MainWindow::route<&MainWindow::hwnd_, &MainWindow::handle>;
    wc.hInstance = instance;
    wc.hIcon = programIcon(instance, false);
    wc.hIconSm = programIcon(instance, true);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = form.windowClass.c_str();
    RegisterClassExA(&wc);

    focus_ = std::make_unique<KeyboardFocus>(form);
    accessibility_ = std::make_unique<WindowAccessibility>(static_cast<AccessibleSource&>(*this));
    followHighContrast();
    // Made where it is shown, centred at the size for the DPI it comes up
    // at: nothing moves before it is on screen.
    scale_ = Scale(win::SystemDpi());
    painter_->setScale(scale_);
    const RECT place = centredPlace();
    outer_ = Extent{place.right - place.left, place.bottom - place.top};
    SetLastError(0);
    if (!CreateWindowExA(kMainExStyle, form.windowClass.c_str(), form.root().caption().c_str(), kMainStyle,
                         place.left, place.top, place.right - place.left, place.bottom - place.top, owner_, nullptr,
                         instance, this))
        Fail("the main window could not be made", GetLastError());

    for (const auto& c : form.all()) {
        c->setObserver(this);
        if (c->kind == Kind::Timer) syncTimer(*c);
    }
    // On a system without per-monitor DPI the window's DPI is the system's.
    // A window larger than the screen was cut to it while being made, before
    // it could say its size: it takes its size now.
    const int dpi = WindowDpi(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    const Box wanted = ScaledBox(form.root(), scale_);
    if (dpi != scale_.dpi() || client.right != wanted.width() || client.bottom != wanted.height()) applyDpi(dpi);
    readKeyboardCues();
}

void MainWindow::show() {
    // Made centred and topmost; shown as it was made.
    pageShownAt_ = GetTickCount();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    // Its task bar button, and the tooltip, come right after the window.
    ShowWindow(owner_, SW_SHOWNA);
    PostMessageA(hwnd_, kCreateTooltip, 0, 0);
    // The window has painted itself as it was shown. Should it not have,
    // its paint is awaited (the rest of its messages stay queued); a window
    // that never comes up on a monitor must not leave the program running
    // unseen.
    const DWORD shownAt = GetTickCount();
    while (!onScreen() && GetTickCount() - shownAt < kShowLimitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_PAINT | QS_SENDMESSAGE);
        MSG msg;
        while (PeekMessageA(&msg, hwnd_, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
    }
    if (!onScreen())
        throw WindowFailure("the main window was not shown",
                            IsWindowVisible(hwnd_) ? "It did not appear on the screen within 30 seconds."
                                                   : "Windows did not show it.");
}

bool MainWindow::onScreen() const {
    // Minimised as the program's shortcut asks, it is its task bar button.
    if (!IsWindowVisible(hwnd_)) return false;
    return IsIconic(hwnd_) || (painted_ && MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONULL) != nullptr);
}

void MainWindow::invalidate(const Component& c) {
    if (!hwnd_ || !OnShownPage(c)) return;
    RECT r = scaledRect(c, scale_);
    // Labels sized to their text may grow to the right.
    if (c.kind == Kind::Label && c.autoSize) r.right = ScaledBox(form_->root(), scale_).right;
    InvalidateRect(hwnd_, &r, FALSE);
}

void MainWindow::changed(Component& c, Prop p) {
    if (!hwnd_) return;
    const Component* focusedBefore = focus_->focused();
    for (const RaisedEvent& e : ChangeEvents(*focus_, *form_, c, p)) raise(e);
    if (focus_->focused() != focusedBefore) repaintFocus(focusedBefore);
    switch (p) {
        case Prop::Caption:
            if (c.kind == Kind::Form)
                SetWindowTextA(hwnd_, c.caption().c_str());
            else
                invalidate(c);
            break;
        case Prop::FontColour:
        case Prop::Enabled:
        case Prop::Picture:
            if (&c == hot_ && !c.enabled()) setHot(nullptr);
            invalidate(c);
            break;
        case Prop::Position:
        case Prop::Range:
            // A long task may block this thread: show the bar's new place now.
            invalidate(c);
            UpdateWindow(hwnd_);
            break;
        case Prop::ActivePage:
            pageShownAt_ = GetTickCount();
            if (hot_ && !OnShownPage(*hot_)) hot_ = nullptr;
            invalidate(c);
            syncTooltip();
            break;
        case Prop::TimerState:
            syncTimer(c);
            break;
        case Prop::TabVisible:
            break;  // the page control never draws its tabs
    }
}

void MainWindow::repaintNow(Component& c) {
    invalidate(c);
    if (hwnd_) UpdateWindow(hwnd_);
}

void MainWindow::syncTimer(Component& timer) {
    const auto& all = form_->all();
    UINT_PTR id = 1;
    for (const auto& c : all) {
        if (c.get() == &timer) break;
        ++id;
    }
    if (timer.enabled())
        SetTimer(hwnd_, id, static_cast<UINT>(timer.interval), nullptr);
    else
        KillTimer(hwnd_, id);
}

void MainWindow::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    painted_ = true;
    RECT client;
    GetClientRect(hwnd_, &client);
    // Paint off screen, then copy: no flicker while colours change.
    MemoryDc mem(CreateCompatibleDC(dc));
    BitmapHandle surface(CreateCompatibleBitmap(dc, client.right, client.bottom));
    {
        Selected sel(mem.get(), surface.get());
        IntersectClipRect(mem.get(), ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
        const Component* focused = focusCues_ && hasFocus_ ? focus_->focused() : nullptr;
        painter_->paint(mem.get(), *form_, ps.rcPaint, ButtonState{hot_, pressed_, focused});
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, mem.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
    EndPaint(hwnd_, &ps);
}

// Each of the two windows finds its MainWindow in its window data, put
// there when the window is made; the object learns the window's handle then
// and forgets it when the window is gone.
template <HWND MainWindow::*Window, LRESULT (MainWindow::*Handle)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK MainWindow::route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<MainWindow*>(cs->lpCreateParams)->*Window = hwnd;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    const LRESULT result = (self->*Handle)(msg, wp, lp);
    if (msg == WM_NCDESTROY) self->*Window = nullptr;
    return result;
}

// The owner stands for the program on the task bar: minimising and
// restoring it hides and shows the main window, closing it asks the main
// window to close, and its activation goes on to the main window (or to the
// box the main window shows).
LRESULT MainWindow::handleOwner(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (hwnd_ && wp == SIZE_MINIMIZED) {
                ShowWindow(hwnd_, SW_HIDE);
            } else if (hwnd_ && wp == SIZE_RESTORED && !IsWindowVisible(hwnd_)) {
                ShowWindow(hwnd_, SW_SHOW);
                PostMessageA(owner_, kActivateMain, 0, 0);
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE && !IsIconic(owner_)) PostMessageA(owner_, kActivateMain, 0, 0);
            break;
        case kActivateMain:
            if (hwnd_ && IsWindowVisible(hwnd_) && !IsIconic(owner_)) SetActiveWindow(GetLastActivePopup(hwnd_));
            return 0;
        case WM_CLOSE:
            if (hwnd_) SendMessageA(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(owner_, msg, wp, lp);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    if (!form_) return DefWindowProcA(hwnd_, msg, wp, lp);
    LRESULT hooked = 0;
    if (messageHook_ && messageHook_(msg, wp, lp, hooked)) return hooked;
    if (handleKey(msg, wp, lp)) return 0;
    switch (msg) {
        case WM_GETOBJECT: {
            LRESULT result = 0;
            if (accessibility_->answer(wp, lp, result)) return result;
            break;
        }
        case WM_SETTINGCHANGE:
            if (wp == SPI_SETKEYBOARDCUES) readKeyboardCues();
            followHighContrast();
            break;
        case WM_SYSCOLORCHANGE:
            followHighContrast();
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paint();
            return 0;
        case WM_TIMER: {
            const auto& all = form_->all();
            if (wp >= 1 && wp <= all.size()) {
                Component& timer = *all[wp - 1];
                if (timer.kind == Kind::Timer && timer.enabled() && timer.onClick) timer.onClick();
            }
            return 0;
        }
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_SETCURSOR: {
            LRESULT result = 0;
            if (handleMouse(msg, lp, result)) return result;
            break;
        }
        case WM_SYSCOMMAND:
            // A fixed window: neither maximised nor resized, whoever asks.
            if ((wp & 0xFFF0) == SC_MAXIMIZE || (wp & 0xFFF0) == SC_SIZE) return 0;
            // Minimised, the program is its task bar button.
            if ((wp & 0xFFF0) == SC_MINIMIZE && owner_) {
                ShowWindow(owner_, SW_MINIMIZE);
                return 0;
            }
            break;
        case WM_NCCREATE:
            EnableFrameScaling(hwnd_);
            break;
        case WM_GETMINMAXINFO: {
            const RECT frame = frameRect();
            const Extent outer = outer_.width > 0 ? outer_ : Extent{frame.right - frame.left, frame.bottom - frame.top};
            auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
            mm->ptMinTrackSize = mm->ptMaxTrackSize = POINT{outer.width, outer.height};
            mm->ptMaxSize = mm->ptMaxTrackSize;
            return 0;
        }
        case kCreateTooltip:
            createTooltip();
            return 0;
        case kWmGetDpiScaledSize: {
            // About to move to a monitor of another scaling (Windows 10
            // 1703 and later): the size it will have there, so that Windows
            // picks the place for it and the window does not jump when it
            // is moved back and forth.
            *reinterpret_cast<SIZE*>(lp) = sizeAt(static_cast<int>(LOWORD(wp)));
            return TRUE;
        }
        case kWmDpiChanged: {
            // Moved to a monitor of another scaling: the window goes where
            // Windows suggests, at the size of the new DPI, and draws at it.
            applyDpi(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        }
        case WM_CLOSE:
            // While a box is up (the window is disabled), the box is the
            // answer, as for a dialog's owner: a close from the task bar or
            // from another program would ask again inside the box and could
            // free the window under it.
            if (!IsWindowEnabled(hwnd_)) {
                SetForegroundWindow(GetLastActivePopup(hwnd_));
                return 0;
            }
            if (!closeRequest_ || closeRequest_()) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            accessibility_.reset();
            for (const auto& c : form_->all()) c->setObserver(nullptr);
            form_ = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

}  // namespace ui
