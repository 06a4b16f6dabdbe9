// The main window's layout: every component with its place, size, text,
// font, colours and state as designed. Built once per window; the handlers
// are bound by the form afterwards.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "app/component.h"
#include "app/form.h"
#include "app/platform.h"

namespace app {

inline constexpr const char* kWindowCaption = "ZEMO ZOD Ezodi R Iravevod Idavedi";
inline constexpr const char* kMakerWebAddress = "https://example.com";
inline constexpr const char* kProgramVersionText = "Ver 1.8.2 Build:2016.04.26";
inline constexpr int kClientWidth = 554;
inline constexpr int kClientHeight = 420;
// The status line's text that ends an upgrade; it is raised as an alert.
inline constexpr const char* kFinishedStatus = "Finish!";

class Layout : public Form {
public:
    Layout();

private:
    // The texts a control's description is made of, each with what follows it.
    void describe(const char* control, std::initializer_list<std::pair<const char*, const char*>> parts);
};

}  // namespace app
