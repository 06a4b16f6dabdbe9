// What a screen reader learns of the window: the items of the shown page
// and those every page shares, each with its role, name, value, states and
// place, and the events a change of the window raises. Plain data, built
// from the form; the Windows adaptor (accessible_win.cpp) serves it as
// Active Accessibility objects. Roles, states and events carry their
// Windows values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/component.h"
#include "ui/scale.h"
#include "ui/keyboard_focus.h"
#include "ui/form.h"

namespace ui {

enum class AccessibleRole : uint32_t {
    Alert = 0x08,
    Client = 0x0A,
    Link = 0x1E,
    StaticText = 0x29,
    PushButton = 0x2B,
    ProgressBar = 0x30,
};

namespace accessible_state {
constexpr uint32_t kUnavailable = 0x1;
constexpr uint32_t kFocused = 0x4;
constexpr uint32_t kReadOnly = 0x40;
constexpr uint32_t kInvisible = 0x8000;
constexpr uint32_t kFocusable = 0x100000;
constexpr uint32_t kLinked = 0x400000;
}  // namespace accessible_state

struct AccessibleItem {
    const Component* component = nullptr;
    int id = 0;  // child id: its place in the items, counted from 1
    AccessibleRole role = AccessibleRole::StaticText;
    std::string name;
    std::string value;
    std::string description;
    std::string defaultAction;  // empty: none
    uint32_t states = 0;
    Box box;  // in the client area, at the window's scale
};

// The items in reading order: those every page shares before, the pages'
// texts and buttons, those every page shares after. The
// items of the pages that are not shown are invisible, and so is a text
// that shows nothing; pictures, shapes and frames are decoration and left
// out. The order never changes, so a child id names the same item for the
// life of the window, also for a screen reader that reads an event late.
// `focused` is the control with the keyboard focus, or null while the
// window does not have it. While the window is not `interactive` (a box it
// shows is the answer), its buttons and link are unavailable and have no
// default action.
std::vector<AccessibleItem> AccessibleItems(const Form& form, const Component* focused, const Scale& scale,
                                            bool interactive = true);

// The components of the items, in their order.
std::vector<const Component*> AccessibleOrder(const Form& form);
// The child id of a component among the items; 0 when it is none of them.
int AccessibleId(const Form& form, const Component& c);

// Windows event numbers.
enum class AccessibleEvent : uint32_t {
    Alert = 0x0002,
    Reorder = 0x8004,
    Focus = 0x8005,
    StateChange = 0x800A,
    NameChange = 0x800C,
    ValueChange = 0x800E,
};

struct RaisedEvent {
    AccessibleEvent event;
    int id;  // 0: the client area itself
    bool operator==(const RaisedEvent& o) const { return event == o.event && id == o.id; }
};

// The events a property change raises: a new page reorders the client
// area (its items show and hide), a text that changes its name, a button
// that comes enabled or goes disabled its state, the progress bar its
// value, and a text that shows its alert caption an alert. Colours raise
// nothing, so the fading messages do not flood a screen reader. Only what
// is on screen raises anything.
std::vector<RaisedEvent> EventsFor(const Form& form, const Component& c, Prop p);

// The focus event for where the focus is: on its control, or on the client
// area when no control has it.
RaisedEvent FocusEvent(const Form& form, const Component* focused);

// What a change of the window raises, in order: its own events, then a
// focus event when the change moved the keyboard focus (on the client
// area itself when no control has it any more).
std::vector<RaisedEvent> ChangeEvents(KeyboardFocus& focus, const Form& form, const Component& c, Prop p);


}  // namespace ui
