#include "ui/accessible_view.h"

#include <string>

namespace ui {

namespace {

using namespace accessible_state;

bool isText(const Component& c) { return c.kind == Kind::Label || c.kind == Kind::StaticText; }

// What the items of a page are, in reading order.
bool readable(const Component& c) {
    return isText(c) || c.kind == Kind::Button || c.kind == Kind::ProgressBar;
}

bool alerting(const Component& c) {
    for (const std::string& alert : c.alertCaptions)
        if (!alert.empty() && c.caption().compare(0, alert.size(), alert) == 0) return true;
    return false;
}

// The captions of the texts that describe a control, each followed by its
// separator; the last one's is dropped.
std::string descriptionOf(const Component& c) {
    std::string text, pending;
    for (const Component::DescriptionPart& part : c.describedBy) {
        if (part.text->caption().empty()) continue;
        text += pending + part.text->caption();
        pending = part.then;
    }
    return text.empty() && c.showHint ? c.hint : text;
}

AccessibleItem itemOf(const Component& c, const Component* focused, const Scale& scale, bool interactive) {
    AccessibleItem item;
    item.component = &c;
    item.box = ScaledBox(c, scale);
    item.name = c.caption();
    const bool isFocused = &c == focused;
    if (c.link) {
        item.role = AccessibleRole::Link;
        item.defaultAction = "Jump";
        item.states = kFocusable | kLinked;
    } else if (c.kind == Kind::Button) {
        item.role = AccessibleRole::PushButton;
        item.description = descriptionOf(c);
        if (c.enabled()) {
            item.defaultAction = "Press";
            item.states = kFocusable;
        } else {
            item.states = kUnavailable;
        }
    } else if (c.kind == Kind::ProgressBar) {
        item.role = AccessibleRole::ProgressBar;
        item.name = "Progress";
        item.value = std::to_string(c.position()) + "%";
        item.states = kReadOnly;
    } else {
        item.role = alerting(c) ? AccessibleRole::Alert : AccessibleRole::StaticText;
        item.states = kReadOnly | (c.caption().empty() ? kInvisible : 0);
    }
    if (!interactive && !item.defaultAction.empty()) {
        item.defaultAction.clear();
        item.states = (item.states & ~kFocusable) | kUnavailable;
    }
    if (isFocused) item.states |= kFocused;
    if (!OnShownPage(c)) item.states = (item.states & ~(kFocusable | kFocused)) | kInvisible;
    return item;
}

}  // namespace

std::vector<const Component*> AccessibleOrder(const Form& form) {
    std::vector<const Component*> order(form.sharedBefore.begin(), form.sharedBefore.end());
    if (form.pages)
        for (const Component* page : form.pages->children)
            for (const Component* c : page->children)
                if (readable(*c)) order.push_back(c);
    order.insert(order.end(), form.sharedAfter.begin(), form.sharedAfter.end());
    return order;
}

int AccessibleId(const Form& form, const Component& c) {
    const std::vector<const Component*> order = AccessibleOrder(form);
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i] == &c) return static_cast<int>(i) + 1;
    return 0;
}

std::vector<AccessibleItem> AccessibleItems(const Form& form, const Component* focused, const Scale& scale,
                                            bool interactive) {
    std::vector<AccessibleItem> items;
    for (const Component* c : AccessibleOrder(form)) {
        items.push_back(itemOf(*c, focused, scale, interactive));
        items.back().id = static_cast<int>(items.size());
    }
    return items;
}

std::vector<RaisedEvent> EventsFor(const Form& form, const Component& c, Prop p) {
    const int id = p == Prop::ActivePage ? 0 : AccessibleId(form, c);
    if (p != Prop::ActivePage && (id == 0 || !OnShownPage(c))) return {};
    switch (p) {
        case Prop::ActivePage:
            return {{AccessibleEvent::Reorder, 0}};
        case Prop::Caption:
            if (!isText(c) && c.kind != Kind::Button) return {};
            if (alerting(c)) return {{AccessibleEvent::NameChange, id}, {AccessibleEvent::Alert, id}};
            return {{AccessibleEvent::NameChange, id}};
        case Prop::Enabled:
            if (c.kind != Kind::Button) return {};
            return {{AccessibleEvent::StateChange, id}};
        case Prop::Position:
        case Prop::Range:
            if (c.kind != Kind::ProgressBar) return {};
            return {{AccessibleEvent::ValueChange, id}};
        default:
            return {};
    }
}

RaisedEvent FocusEvent(const Form& form, const Component* focused) {
    return {AccessibleEvent::Focus, focused ? AccessibleId(form, *focused) : 0};
}

std::vector<RaisedEvent> ChangeEvents(KeyboardFocus& focus, const Form& form, const Component& c, Prop p) {
    std::vector<RaisedEvent> events = EventsFor(form, c, p);
    if (focus.follow(c, p)) events.push_back(FocusEvent(form, focus.focused()));
    return events;
}

}  // namespace ui
