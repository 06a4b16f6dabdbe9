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
        // The window is up: the log may touch the disk now.
        services.log.startWriting();
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
