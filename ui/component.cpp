#include "ui/component.h"

#include <algorithm>

namespace ui {

Component::Component(Kind k, std::string n, Component* p)
    : kind(k), name(std::move(n)), parent(p) {
    if (parent) parent->children.push_back(this);
    if (kind == Kind::Timer) enabled_ = false;
}

void Component::notify(Prop p) {
    if (observer_) observer_->changed(*this, p);
}

void Component::setCaption(const std::string& text) {
    if (caption_ == text) return;
    caption_ = text;
    notify(Prop::Caption);
}

void Component::setFontColour(Colour c) {
    if (font_.colour == c) return;
    font_.colour = c;
    notify(Prop::FontColour);
}

void Component::setEnabled(bool on) {
    // A timer enabled again while it runs keeps its rhythm: no change.
    if (enabled_ == on) return;
    enabled_ = on;
    notify(kind == Kind::Timer ? Prop::TimerState : Prop::Enabled);
}

void Component::setPicture(Picture p) {
    if (picture_ == p) return;
    picture_ = p;
    notify(Prop::Picture);
}

void Component::setTabVisible(bool on) {
    if (tabVisible_ == on) return;
    tabVisible_ = on;
    notify(Prop::TabVisible);
}

void Component::setMin(int v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    position_ = std::clamp(position_, min_, max_);
    notify(Prop::Range);
}

void Component::setMax(int v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    position_ = std::clamp(position_, min_, max_);
    notify(Prop::Range);
}

void Component::setPosition(int v) {
    const int kept = std::clamp(v, min_, max_);
    if (kept == position_) return;
    position_ = kept;
    notify(Prop::Position);
}

void Component::setActivePage(Component* page) {
    if (activePage_ == page) return;
    activePage_ = page;
    notify(Prop::ActivePage);
}

void Component::repaint() {
    if (observer_) observer_->repaintNow(*this);
}

bool OnShownPage(const Component& c) {
    for (const Component* p = &c; p; p = p->parent)
        if (p->kind == Kind::TabSheet) return p->parent->activePage() == p;
    return true;
}

Component* Component::child(const std::string& childName) const {
    for (Component* c : children) {
        if (c->name == childName) return c;
        if (Component* deeper = c->child(childName)) return deeper;
    }
    return nullptr;
}

}  // namespace ui
