// Modal message boxes, as every layer that talks to the user asks for them,
// and the application's title. The Win32 implementation lives with the
// window (app/platform_win.cpp); tests use scripted fakes.
#pragma once

#include <string>

namespace base {

// The application's title: its task name, and the caption of the plain
// messages that carry no caption of their own.
inline constexpr const char* kApplicationTitle = "ZEMO DAZ Adoze R Irodidiz Odovuz";

// Message box flags and answers, with their Windows values.
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbOkCancel = 0x01;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbDefButton2 = 0x100;  // the second button (Cancel) is the default
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box; returns the button pressed (kIdOk, kIdCancel).
    virtual int messageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

}  // namespace base
