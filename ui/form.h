// A window's components, held together: the window itself first, then
// every component in the order it was added (children after their
// parent), each found by its name. Besides the places and looks that each
// component holds, a form says how the keyboard and screen readers go
// through it: which page control's shown page they follow, and which of
// its items every page shares.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/component.h"

namespace ui {

class Form {
public:
    Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The window: the first component added.
    Component& root() const { return *all_.front(); }
    // The named component; aborts on a name the form does not hold.
    Component& get(const std::string& name) const;
    Component* find(const std::string& name) const;
    const std::vector<std::unique_ptr<Component>>& all() const { return all_; }

    // The page control whose shown page the keyboard and screen readers
    // follow; null for a window without pages.
    Component* pages = nullptr;
    // The items every page shares, read before and after the shown page's
    // own; a link among them is also a focus stop on every page.
    std::vector<Component*> sharedBefore;
    std::vector<Component*> sharedAfter;
    // The names Windows knows the window by: its window class, and the
    // class and title of the owner window that stands for the program on
    // the task bar.
    std::string windowClass = "UiForm";
    std::string ownerClass = "UiApplication";
    std::string applicationTitle;

protected:
    // Adds a component under the named parent (none for the window).
    Component& add(Kind kind, const char* name, const char* parent);

private:
    std::vector<std::unique_ptr<Component>> all_;
};

}  // namespace ui
