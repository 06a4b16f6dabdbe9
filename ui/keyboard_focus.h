// Which of the window's controls the keyboard works on, and what a key
// does there. The focus is state of the window's model: the painter draws
// it (while the keyboard cues are shown), the accessible view reports it.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/component.h"
#include "ui/form.h"

namespace ui {

enum class Key { Tab, ShiftTab, Enter, Space, Escape };

// What the window does for a key.
struct KeyAction {
    enum class Kind { None, Press, Close };
    Kind kind = Kind::None;
    Component* target = nullptr;  // the control pressed
};

class KeyboardFocus {
public:
    // Starts on the shown page's main action.
    explicit KeyboardFocus(const Form& form);

    // The control with the focus; null when the page has none to give (no
    // default button enabled, the focus not moved on).
    Component* focused() const { return focused_; }
    // The focus stops of the shown page in Tab order: its enabled buttons,
    // then the links that every page shares.
    std::vector<Component*> order() const;
    // Follows a change of the window: a page that comes up puts the focus
    // on its main action (its first enabled default button), and so does a
    // default button that comes enabled; a focused control that goes
    // disabled hands the focus to the main action. True when the focus
    // moved.
    bool follow(const Component& c, Prop p);
    // A key goes down. Tab and Shift+Tab move along the order and wrap;
    // Enter presses the focused control; Space only takes note of it, and
    // presses it when it comes up; Esc presses the page's cancel button, or
    // asks to close the window on a page without one.
    KeyAction key(Key k);
    // A key comes up: Space presses the focused control when it went down
    // on that same control (as a Windows push button does), so that a box
    // the press opens never gets the held key.
    KeyAction keyUp(Key k);
    // Gives the focus to one of the page's stops (a screen reader's
    // choice); false for anything else.
    bool focus(const Component* stop);

private:
    const Component* shownPage() const;
    Component* mainAction() const;
    bool moveTo(Component* c);
    const Form& form_;
    Component* focused_ = nullptr;
    Component* spaceDownOn_ = nullptr;  // the control Space went down on
};

// True when input that Windows stamped at `inputTime` was given before (or
// as) the page it would act on came up at `shownAt`: keys and clicks typed
// ahead while the window was busy were meant for the page before. Both are
// tick counts, which wrap every 49.7 days.
constexpr bool GivenBefore(uint32_t inputTime, uint32_t shownAt) {
    return static_cast<int32_t>(inputTime - shownAt) <= 0;
}

}  // namespace ui
