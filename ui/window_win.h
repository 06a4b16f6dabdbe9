// The real window: builds itself from a form, paints the components,
// turns mouse clicks and WM_TIMER into the components' events, and follows
// every property change.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "ui/accessible_win.h"
#include "ui/component.h"
#include "ui/scale.h"
#include "ui/scale_win.h"
#include "ui/keyboard_focus.h"
#include "ui/form.h"

namespace ui {

// The main window: fixed size, no maximise, always on top.
inline constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kMainExStyle = WS_EX_TOPMOST;

class Painter;

class MainWindow final : public ComponentObserver, private AccessibleSource {
public:
    MainWindow();
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window, hidden, with its controls, and the hidden owner
    // window that stands for the program on the task bar. Throws
    // WindowFailure when either cannot be made.
    void create(Form& form);
    // Shows it centred on the desktop, with its task bar button. Throws
    // WindowFailure when it has not painted itself on a monitor within 30 s.
    void show();
    HWND handle() const { return hwnd_; }
    // The owner window: the task bar button, titled with the application
    // title; minimising the program minimises it.
    HWND owner() const { return owner_; }
    // Lets go of the form and destroys both windows, if they still exist.
    void detach();
    // Decides a close request: true frees the window and ends the loop.
    void onCloseRequest(std::function<bool()> decide) { closeRequest_ = std::move(decide); }
    // Sees every message of the window before the window does (the
    // program's answers to Windows' own events): true when it took the
    // message, with the window procedure's result.
    using MessageHook = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;
    void setMessageHook(MessageHook hook) { messageHook_ = std::move(hook); }

    void changed(Component& c, Prop p) override;
    void repaintNow(Component& c) override;

private:
    template <HWND MainWindow::*Window, LRESULT (MainWindow::*Handle)(UINT, WPARAM, LPARAM)>
    static LRESULT CALLBACK route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handleOwner(UINT msg, WPARAM wp, LPARAM lp);
    // The mouse over the window (window_input_win.cpp): true when the
    // message was taken, with its result.
    bool handleMouse(UINT msg, LPARAM lp, LRESULT& result);
    // The keyboard (window_keys_win.cpp): true when the message was taken.
    bool handleKey(UINT msg, WPARAM wp, LPARAM lp);
    void showFocusCues();
    // Shows the focus rectangles from the start when the user always wants
    // them (the system's keyboard-cues setting).
    void readKeyboardCues();
    // The input message being handled was given before the shown page came
    // up.
    bool typedBeforePage() const;
    // Presses a control as a click does: only when it is enabled and shown.
    void press(Component& c);
    // Repaints where the focus was and is.
    void repaintFocus(const Component* from);
    // The keys or a screen reader moved the focus: repaints and tells.
    void focusMoved(const Component* from);
    // Tells screen readers of a change; of the focus only while the window
    // has it.
    void raise(const RaisedEvent& e);
    // High-contrast colours, read from the system again on every change of
    // its settings or colours.
    void followHighContrast();
    // AccessibleSource
    HWND accessibleWindow() const override { return hwnd_; }
    std::vector<AccessibleItem> accessibleItems() const override;
    std::string accessibleName() const override;
    void pressLater(const Component& c) override;
    void focusItem(const Component& c) override;
    void createOwner(HINSTANCE instance);
    void paint();
    void invalidate(const Component& c);
    void syncTimer(Component& timer);
    // The tooltips (window_tooltip_win.cpp): made once the window is on
    // screen, following the shown page, and moved with a new scale.
    void syncTooltip();
    void createTooltip();
    void moveTooltips();
    // Takes the DPI the window is shown at: its size (at the suggested
    // place, if any), the progress bar's place, the tooltip's area, and
    // everything painted.
    void applyDpi(int dpi, const RECT* suggested = nullptr);
    RECT frameRect() const;
    // The window's outer size at that DPI, from the computed frame.
    SIZE sizeAt(int dpi) const;
    // Gives the window the client area of its scale, from the frame the
    // system really draws (measured, should it differ from the computed
    // one); re-centred unless it was placed where Windows suggested.
    void fitFrame(bool centre);
    // The window's rectangle centred in the work area, at the current scale.
    RECT centredPlace() const;
    Component* hitTest(int x, int y, bool clickableOnly) const;
    void setHot(Component* c);

    // Shown, painted, and on a monitor.
    bool onScreen() const;

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    bool painted_ = false;
    Scale scale_;
    Extent outer_;  // the window's outer size at its scale
    HWND tooltip_ = nullptr;
    std::vector<bool> tooltips_;  // per component: its tooltip is on
    Form* form_ = nullptr;
    std::unique_ptr<Painter> painter_;
    Component* hot_ = nullptr;      // button under the mouse
    Component* pressed_ = nullptr;  // component the left button went down on
    bool trackingLeave_ = false;
    std::unique_ptr<KeyboardFocus> focus_;
    bool focusCues_ = false;  // focus rectangles shown: from the first key on
    bool hasFocus_ = false;   // the window has the keyboard focus
    uint32_t pageShownAt_ = 0;  // tick count when the shown page came up
    std::unique_ptr<WindowAccessibility> accessibility_;
    std::function<bool()> closeRequest_;
    MessageHook messageHook_;
};

}  // namespace ui
