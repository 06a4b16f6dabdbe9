// The window from the keyboard and for screen readers: the keys that move
// the focus and press the focused control, the focus rectangles (hidden
// until the first key, as Windows' keyboard cues are), the window's
// accessible object, and high-contrast colours.
#include "ui/window_win.h"

#include "ui/painter_win.h"

namespace ui {

namespace {

// Posted to the window: press the control at this place in the form (a
// screen reader's default action, run from the message loop).
constexpr UINT kPressComponent = WM_APP + 3;

bool HighContrastOn() {
    HIGHCONTRASTA hc{};
    hc.cbSize = sizeof(hc);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace

void MainWindow::press(Component& c) {
    // While a box is up the window is disabled, and the box is the answer:
    // a screen reader's press that its message loop delivers waits.
    if (!IsWindowEnabled(hwnd_)) return;
    if (!c.enabled() || !OnShownPage(c) || !c.onClick) return;
    UpdateWindow(hwnd_);
    c.onClick();
}

void MainWindow::repaintFocus(const Component* from) {
    if (from) invalidate(*from);
    if (const Component* to = focus_->focused()) invalidate(*to);
}

void MainWindow::focusMoved(const Component* from) {
    repaintFocus(from);
    raise(FocusEvent(*form_, focus_->focused()));
}

void MainWindow::raise(const RaisedEvent& e) {
    if (accessibility_ && (e.event != AccessibleEvent::Focus || hasFocus_)) accessibility_->raise(e);
}

void MainWindow::showFocusCues() {
    if (focusCues_) return;
    focusCues_ = true;
    // Keeps Windows' own keyboard-cue state of the window in step.
    SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    repaintFocus(nullptr);
}

bool MainWindow::handleKey(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_KEYDOWN: {
            Key key;
            switch (wp) {
                case VK_TAB: key = GetKeyState(VK_SHIFT) < 0 ? Key::ShiftTab : Key::Tab; break;
                case VK_RETURN: key = Key::Enter; break;
                case VK_SPACE: key = Key::Space; break;
                case VK_ESCAPE: key = Key::Escape; break;
                default: return false;
            }
            showFocusCues();
            // Typed ahead while the window was busy (a second Enter during
            // a long task of a button): meant for the page before, not
            // this one.
            if (typedBeforePage()) return true;
            // A key held down presses once.
            const bool repeated = (lp & (1L << 30)) != 0;
            if (key == Key::Tab || key == Key::ShiftTab) {
                const Component* from = focus_->focused();
                focus_->key(key);
                if (focus_->focused() != from) focusMoved(from);
                return true;
            }
            if (repeated) return true;
            const KeyAction action = focus_->key(key);
            if (action.kind == KeyAction::Kind::Press) press(*action.target);
            if (action.kind == KeyAction::Kind::Close) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
            return true;
        }
        case WM_KEYUP: {
            if (wp != VK_SPACE) return false;
            if (typedBeforePage()) return true;
            const KeyAction action = focus_->keyUp(Key::Space);
            if (action.kind == KeyAction::Kind::Press) press(*action.target);
            return true;
        }
        case WM_SYSKEYDOWN:
            if (wp == VK_MENU) showFocusCues();
            return false;  // the system menu and Alt+F4 as ever
        case WM_UPDATEUISTATE:
            // Another part of the system (or a setting) shows or hides the
            // cues; Windows' own state follows in DefWindowProc.
            if ((HIWORD(wp) & UISF_HIDEFOCUS) && (LOWORD(wp) == UIS_SET || LOWORD(wp) == UIS_CLEAR)) {
                focusCues_ = LOWORD(wp) == UIS_CLEAR;
                repaintFocus(nullptr);
            }
            return false;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            hasFocus_ = msg == WM_SETFOCUS;
            focusMoved(nullptr);  // a screen reader hears only where it went
            return true;
        case kPressComponent:
            if (wp < form_->all().size()) press(*form_->all()[wp]);
            return true;
        default:
            return false;
    }
}

bool MainWindow::typedBeforePage() const {
    return GivenBefore(static_cast<uint32_t>(GetMessageTime()), pageShownAt_);
}

void MainWindow::readKeyboardCues() {
    // "Underline access keys" (Ease of Access): the user always wants the
    // focus rectangles, as Windows' own dialogs show them.
    BOOL always = FALSE;
    if (SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &always, 0) && always && hwnd_) showFocusCues();
}

std::vector<AccessibleItem> MainWindow::accessibleItems() const {
    if (!form_) return {};
    const bool interactive = hwnd_ && IsWindowEnabled(hwnd_);
    return AccessibleItems(*form_, hasFocus_ ? focus_->focused() : nullptr, scale_, interactive);
}

std::string MainWindow::accessibleName() const { return form_ ? form_->root().caption() : std::string(); }

void MainWindow::pressLater(const Component& c) {
    const auto& all = form_->all();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].get() == &c) PostMessageA(hwnd_, kPressComponent, i, 0);
}

void MainWindow::focusItem(const Component& c) {
    const Component* from = focus_->focused();
    if (focus_->focus(&c)) focusMoved(from);
}

void MainWindow::followHighContrast() {
    painter_->setHighContrast(HighContrastOn());
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace ui
