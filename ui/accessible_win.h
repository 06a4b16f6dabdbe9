// Screen readers and the window: its client area served as an Active
// Accessibility object (IAccessible) over the accessible view, and the
// view's events raised with NotifyWinEvent. Windows bridges the object to
// UI Automation for Narrator by itself.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/accessible_view.h"

namespace ui {

// What the object asks of the window it stands for; called on the
// window's thread only.
class AccessibleSource {
public:
    virtual ~AccessibleSource() = default;
    virtual HWND accessibleWindow() const = 0;
    // The items as they are now.
    virtual std::vector<AccessibleItem> accessibleItems() const = 0;
    // The window's own name (its caption).
    virtual std::string accessibleName() const = 0;
    // Presses the control as a click does, from the message loop: the
    // screen reader's call returns first.
    virtual void pressLater(const Component& c) = 0;
    // Gives the control the keyboard focus.
    virtual void focusItem(const Component& c) = 0;
};

class AccessibleObject;

// The window's accessible object, made when a client first asks for it;
// oleacc (which is no known DLL) is loaded from the system folder then.
class WindowAccessibility {
public:
    explicit WindowAccessibility(AccessibleSource& source) : source_(source) {}
    // Disconnects the object: clients that still hold it learn that the
    // window is gone.
    ~WindowAccessibility();
    WindowAccessibility(const WindowAccessibility&) = delete;
    WindowAccessibility& operator=(const WindowAccessibility&) = delete;

    // Answers WM_GETOBJECT for the client area; false for any other object
    // (the system's default answer stands).
    bool answer(WPARAM wp, LPARAM lp, LRESULT& result);
    // Tells screen readers of a change.
    void raise(const RaisedEvent& e) const;

private:
    AccessibleSource& source_;
    AccessibleObject* object_ = nullptr;
};

}  // namespace ui
