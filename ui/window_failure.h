// A window that could not be made, or that did not come up on the screen:
// which window and what failed, and the system's reason.
#pragma once

#include <stdexcept>
#include <string>

namespace ui {

class WindowFailure : public std::runtime_error {
public:
    WindowFailure(const std::string& what, std::string reason)
        : std::runtime_error(what + ": " + reason), reason_(std::move(reason)) {}
    // The system's words for it, for the user.
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

}  // namespace ui
