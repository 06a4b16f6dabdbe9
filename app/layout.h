// The wizard's window: every component of its three pages with its place,
// size, text, font, colours and state as designed, and what the keyboard
// and screen readers go by (each page's default and cancel buttons, the
// descriptions, the alert, the items every page shares), filling a form of
// the window toolkit. Built once per window; the handlers are bound by
// TFormMain afterwards.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "ui/component.h"
#include "ui/form.h"
#include "app/platform.h"

namespace app {

// The parts of the window toolkit the wizard is made of.
using ui::Align;
using ui::BevelKind;
using ui::Colour;
using ui::Component;
using ui::Font;
using ui::Form;
using ui::Kind;
using ui::Picture;
using ui::Prop;
using ui::ShapeKind;
using ui::kBlack;
using ui::kBlue;
using ui::kColour3DLight;
using ui::kColourWindowText;
using ui::kGreen;
using ui::kMaroon;
using ui::kNavy;
using ui::kRed;
using ui::kSkyBlue;

// The window classes of the main window and of the owner that stands for
// the program on the task bar (a second start finds the first by them).
inline constexpr const char* kMainWindowClass = "TFormMain";
inline constexpr const char* kOwnerWindowClass = "FirmwareUpgradeApplication";
inline constexpr const char* kWindowCaption = "ZEMO ZOD Ezodi R Iravevod Idavedi";
inline constexpr const char* kMakerWebAddress = "https://example.com";
inline constexpr const char* kProgramVersionText = "Ver 1.8.2 Build:2016.04.26";
inline constexpr int kClientWidth = 554;
inline constexpr int kClientHeight = 420;
// The status line's text that ends an upgrade; it is raised as an alert.
inline constexpr const char* kFinishedStatus = "Finish!";
// The status line while the copy settles, followed by its seconds: "12 s".
inline constexpr const char* kSettlingStatus = "The transponder is storing the firmware: ";
// What the transponder runs after its restart: "Now running version 2.05.",
// or "Still version 2.0.1!" and "Please run the upgrade again.".
inline constexpr const char* kRunningVersionText = "Now running version ";
inline constexpr const char* kStillVersionText = "Still version ";
inline constexpr const char* kRunAgainText = "Please run the upgrade again.";
// Or it came back in its boot loader, or has not come back at all.
inline constexpr const char* kBootModeAgainText = "Still in boot mode!";
inline constexpr const char* kSilentText = "The transponder has not answered since its restart.";
// Or another program holds its port: "COM4 is in use by another program.".
inline constexpr const char* kHeldPortText = " is in use by another program.";
// Until the transponder restarts, and again when its drive comes back as
// it was.
inline constexpr const char* kRebootText = "Please reboot your device.";

class Layout : public Form {
public:
    Layout();

private:
    // The texts a control's description is made of, each with what follows it.
    void describe(const char* control, std::initializer_list<std::pair<const char*, const char*>> parts);
};

}  // namespace app
