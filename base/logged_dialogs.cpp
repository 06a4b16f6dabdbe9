#include "base/logged_dialogs.h"

namespace base {

int LoggedDialogs::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    log_.line("box \"" + caption + "\": " + text);
    const int answer = shown_.messageBox(text, caption, flags);
    // The buttons are the low four bits of the flags; a box with OK alone
    // has no answer worth telling.
    if ((flags & 0x0Fu) != kMbOk) {
        log_.line(answer == kIdOk ? "box answered OK"
                                  : answer == kIdCancel ? "box answered Cancel" : "box answered " + std::to_string(answer));
    }
    return answer;
}

}  // namespace base
