#include "app/program_entry.h"

#include <exception>

#include "ui/window_failure.h"

namespace app {

namespace {

void showEntryError(Dialogs& dialogs, const char* text) {
    dialogs.messageBox(text, kApplicationTitle, kMbOk | kMbIconError);
}

}  // namespace

std::string WindowFailedMessage(const std::string& reason) {
    return "The window of the firmware upgrade could not be opened.\n\n" + reason +
           "\n\nNothing was changed on your Class B Device. Please start the program again; if this happens "
           "again, restart your Computer first.";
}

int RunWizard(Services& services) {
    try {
        TFormMain form(services);
        services.desktop.setCloseRequest([&form] { return form.FormClose(); });
        if (!form.terminated()) services.desktop.showWindow();
        // The window is up: the log may touch the disk now, and the image's
        // content is checked.
        services.log.startWriting();
        if (!form.terminated()) form.FormShow();
        services.desktop.runMessageLoop();
    } catch (const ui::WindowFailure& e) {
        // Nothing is on the screen: the program must not go on unseen,
        // holding the lock that keeps a second start from running.
        services.log.line("no window: " + std::string(e.what()));
        showEntryError(services.dialogs, WindowFailedMessage(e.reason()).c_str());
    } catch (const std::exception& e) {
        showEntryError(services.dialogs, e.what());
    } catch (...) {
        showEntryError(services.dialogs, "");
    }
    services.log.line("the program ends");
    services.log.startWriting();
    return 0;
}

}  // namespace app
