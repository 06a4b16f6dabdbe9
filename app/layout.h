// The main window's layout: every component with its place, size, text,
// font, colours and state as designed. Built once per window; the handlers
// are bound by the form afterwards.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/component.h"
#include "app/platform.h"

namespace app {

inline constexpr const char* kWindowCaption = "ZEMO ZOD Ezodi R Iravevod Idavedi";
inline constexpr const char* kMakerWebAddress = "https://example.com";
inline constexpr const char* kProgramVersionText = "Ver 1.8.2 Build:2016.04.26";
inline constexpr int kClientWidth = 554;
inline constexpr int kClientHeight = 420;
// The status line's text that ends an upgrade; it is raised as an alert.
inline constexpr const char* kFinishedStatus = "Finish!";

class Layout {
public:
    Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    Component& form() { return *all_.front(); }
    // The named component; aborts on a name the layout does not hold.
    Component& get(const std::string& name) const;
    Component* find(const std::string& name) const;
    const std::vector<std::unique_ptr<Component>>& all() const { return all_; }

private:
    Component& add(Kind kind, const char* name, const char* parent);
    // The texts a control's description is made of, each with what follows it.
    void describe(const char* control, std::initializer_list<std::pair<const char*, const char*>> parts);
    std::vector<std::unique_ptr<Component>> all_;
};

}  // namespace app
