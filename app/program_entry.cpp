#include "app/program_entry.h"

#include <exception>

namespace app {

namespace {

void showEntryError(Dialogs& dialogs, const char* text) {
    dialogs.messageBox(text, kApplicationTitle, kMbOk | kMbIconError);
}

}  // namespace

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
