// The window under the mouse: which button is hot (its raised frame
// shows), which one the left button went down on, the click when it comes
// up over the same one, and the hand cursor over the flat buttons.
#include "ui/window_win.h"

namespace ui {

namespace {

bool clickable(const Component& c) {
    return c.onClick && (c.kind == Kind::Button || c.kind == Kind::Image || c.kind == Kind::Label);
}

}  // namespace

Component* MainWindow::hitTest(int x, int y, bool clickableOnly) const {
    Component* found = nullptr;
    for (const auto& c : form_->all()) {
        if (clickableOnly && !clickable(*c)) continue;
        if (!clickableOnly && !(c->kind == Kind::Button)) continue;
        if (!OnShownPage(*c)) continue;
        const RECT r = scaledRect(*c, scale_);
        const POINT pt{x, y};
        if (PtInRect(&r, pt)) found = c.get();  // the last one is on top
    }
    return found;
}

void MainWindow::setHot(Component* c) {
    if (c == hot_) return;
    Component* old = hot_;
    hot_ = c;
    if (old) invalidate(*old);
    if (hot_) invalidate(*hot_);
}

bool MainWindow::handleMouse(UINT msg, LPARAM lp, LRESULT& result) {
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    result = 0;
    switch (msg) {
        case WM_MOUSEMOVE: {
            Component* over = hitTest(x, y, false);
            setHot(over && over->enabled() ? over : nullptr);
            if (!trackingLeave_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
                trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
            }
            return true;
        }
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            if (!pressed_) setHot(nullptr);
            return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            // Clicked ahead while the window was busy: meant for the page
            // before, not for what shows there now.
            if (typedBeforePage()) return true;
            Component* c = hitTest(x, y, true);
            if (c && c->enabled()) {
                pressed_ = c;
                SetCapture(hwnd_);
                invalidate(*c);
            }
            return true;
        }
        case WM_LBUTTONUP: {
            Component* c = pressed_;
            if (!c) return true;
            pressed_ = nullptr;
            ReleaseCapture();
            invalidate(*c);
            const RECT r = scaledRect(*c, scale_);
            const POINT pt{x, y};
            if (PtInRect(&r, pt)) press(*c);
            return true;
        }
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(hwnd_, &pt);
                Component* c = hitTest(pt.x, pt.y, false);
                if (c && c->handCursor) {
                    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
                    result = TRUE;
                    return true;
                }
            }
            return false;
        default:
            return false;
    }
}

}  // namespace ui
