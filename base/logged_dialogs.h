// Message boxes that the log sees: each box's caption and text before it
// shows, and the answer to a box that offers a choice.
#pragma once

#include "base/dialogs.h"
#include "base/log.h"

namespace base {

class LoggedDialogs final : public Dialogs {
public:
    LoggedDialogs(Dialogs& shown, Log& log) : shown_(shown), log_(log) {}
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;

private:
    Dialogs& shown_;
    Log& log_;
};

}  // namespace base
