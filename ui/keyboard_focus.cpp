#include "ui/keyboard_focus.h"

#include <algorithm>

namespace ui {

KeyboardFocus::KeyboardFocus(const Form& form) : form_(form) { focused_ = mainAction(); }

const Component* KeyboardFocus::shownPage() const { return form_.pages ? form_.pages->activePage() : nullptr; }

std::vector<Component*> KeyboardFocus::order() const {
    std::vector<Component*> stops;
    if (const Component* page = shownPage())
        for (Component* c : page->children)
            if (c->kind == Kind::Button && c->enabled()) stops.push_back(c);
    for (const auto* shared : {&form_.sharedBefore, &form_.sharedAfter})
        for (Component* c : *shared)
            if (c->link) stops.push_back(c);
    return stops;
}

Component* KeyboardFocus::mainAction() const {
    if (const Component* page = shownPage())
        for (Component* c : page->defaultButtons)
            if (c->enabled()) return c;
    return nullptr;
}

bool KeyboardFocus::moveTo(Component* c) {
    if (c == focused_) return false;
    focused_ = c;
    return true;
}

bool KeyboardFocus::follow(const Component& c, Prop p) {
    if (p == Prop::ActivePage) {
        spaceDownOn_ = nullptr;
        return moveTo(mainAction());
    }
    if (p != Prop::Enabled || c.kind != Kind::Button) return false;
    if (c.enabled() && &c == mainAction()) return moveTo(mainAction());
    if (!c.enabled() && &c == focused_) return moveTo(mainAction());
    return false;
}

bool KeyboardFocus::focus(const Component* stop) {
    for (Component* c : order())
        if (c == stop) return moveTo(c);
    return false;
}

KeyAction KeyboardFocus::key(Key k) {
    switch (k) {
        case Key::Tab:
        case Key::ShiftTab: {
            const std::vector<Component*> stops = order();
            if (stops.empty()) return {};
            const auto at = std::find(stops.begin(), stops.end(), focused_);
            const int n = static_cast<int>(stops.size());
            // From no focus, Tab takes the first stop and Shift+Tab the last.
            int i = at == stops.end() ? (k == Key::Tab ? -1 : 0) : static_cast<int>(at - stops.begin());
            i = (i + (k == Key::Tab ? 1 : n - 1)) % n;
            moveTo(stops[i]);
            return {};
        }
        case Key::Enter:
            if (focused_ && focused_->enabled()) return {KeyAction::Kind::Press, focused_};
            return {};
        case Key::Space:
            spaceDownOn_ = focused_ && focused_->enabled() ? focused_ : nullptr;
            return {};
        case Key::Escape: {
            const Component* page = shownPage();
            if (!page) return {};
            if (page->cancelButton) return {KeyAction::Kind::Press, page->cancelButton};
            return {KeyAction::Kind::Close, nullptr};
        }
    }
    return {};
}

KeyAction KeyboardFocus::keyUp(Key k) {
    if (k != Key::Space) return {};
    Component* down = spaceDownOn_;
    spaceDownOn_ = nullptr;
    if (down && down == focused_ && down->enabled()) return {KeyAction::Kind::Press, down};
    return {};
}

}  // namespace ui
