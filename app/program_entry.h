// The program's body, on the services it runs with: the main window, its
// message loop, and the one place where an error that escapes them is shown.
#pragma once

#include "app/Mainform.h"

namespace app {

// Builds the main window, shows it unless start-up ended the program, and
// runs the message loop until the window closes. An error that escapes is
// shown in a box with the application title and the error icon, once the
// window is gone; a window that cannot be made or shown is told in plain
// words with Windows' reason, and the program ends. The log starts writing
// once the window is shown (or the program ends without one). The exit code
// is 0 in every case.
int RunWizard(Services& services);

// The box of a start whose window could not be made or shown.
std::string WindowFailedMessage(const std::string& reason);

}  // namespace app
