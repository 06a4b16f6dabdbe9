#include "app/keyboard_focus.h"

#include <algorithm>

namespace app {

namespace {

constexpr const char* kStartPage = "TabSheetStart";
constexpr const char* kVersionPage = "TabSheetFirmwareVersion";

const Component* shownPage(const Layout& layout) {
    return layout.get("PageControlFirmwareUpgradeStage").activePage();
}

}  // namespace

KeyboardFocus::KeyboardFocus(const Layout& layout) : layout_(layout), webLink_(&layout.get("LabelZEMOWeb")) {
    focused_ = mainAction();
}

std::vector<Component*> KeyboardFocus::order() const {
    std::vector<Component*> stops;
    if (const Component* page = shownPage(layout_))
        for (Component* c : page->children)
            if (c->kind == Kind::SpeedButton && c->enabled()) stops.push_back(c);
    stops.push_back(webLink_);
    return stops;
}

Component* KeyboardFocus::mainAction() const {
    const Component* page = shownPage(layout_);
    if (!page) return nullptr;
    if (page->name == kStartPage) {
        Component& start = layout_.get("SpeedButtonStart");
        return start.enabled() ? &start : &layout_.get("SpeedButtonExit1");
    }
    if (page->name == kVersionPage) return &layout_.get("SpeedButtonFrmVerWantToContinueYes");
    Component& finish = layout_.get("SpeedButtonFrmUpgFinish");
    return finish.enabled() ? &finish : nullptr;
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
    if (p != Prop::Enabled || c.kind != Kind::SpeedButton) return false;
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
            const Component* page = shownPage(layout_);
            if (!page) return {};
            if (page->name == kStartPage) return {KeyAction::Kind::Press, &layout_.get("SpeedButtonExit1")};
            if (page->name == kVersionPage)
                return {KeyAction::Kind::Press, &layout_.get("SpeedButtonFrmVerWantToContinueNo")};
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

}  // namespace app
