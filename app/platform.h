// What the main window asks of the desktop it runs on: message boxes, the
// shell, its own file, the system version and the message loop. The Win32
// implementation is app/platform_win.cpp; tests use scripted fakes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/dialogs.h"

namespace ui {
class Form;
}

namespace app {

using base::Dialogs;
using base::kApplicationTitle;
using base::kIdCancel;
using base::kIdOk;
using base::kMbDefButton2;
using base::kMbIconError;
using base::kMbIconWarning;
using base::kMbOk;
using base::kMbOkCancel;

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

// What Windows says of its own events while the wizard runs, and how the
// wizard answers.
class SystemEvents {
public:
    virtual ~SystemEvents() = default;
    // A log-off, restart or shut-down asks whether it may go on: false
    // holds it (WM_QUERYENDSESSION).
    virtual bool sessionMayEnd() = 0;
    // The session ends all the same (WM_ENDSESSION): the process ends once
    // this returns.
    virtual void sessionEnds() = 0;
    // AutoPlay is about to show for a drive that came (the registered
    // message "QueryCancelAutoPlay"): true cancels it.
    virtual bool cancelAutoPlay() = 0;
    // The PC goes to sleep (true) or has woken up (false).
    virtual void powerChanged(bool suspending) = 0;
    // A serial port has come: COMn (a device plugged in, or restarted).
    virtual void portArrived(int port) = 0;
    // Volumes have gone: bit 0 for A:, bit 25 for Z: (a device that
    // restarted, a drive pulled).
    virtual void drivesRemoved(uint32_t letters) = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // Builds the window and its controls from the form (hidden until the
    // start-up sequence has run).
    virtual void createWindow(ui::Form& form) = 0;
    // Shows the window, centred on the desktop.
    virtual void showWindow() = 0;
    // Runs the message loop until the application ends.
    virtual void runMessageLoop() = 0;
    // Decides every request to close the window: true lets it close.
    virtual void setCloseRequest(std::function<bool()> decide) = 0;
    // Lets go of the layout and destroys the window, if there is one; the
    // layout may go afterwards.
    virtual void releaseWindow() = 0;
    // Full path of the running program's file; empty when it cannot be had
    // whole or the code page cannot hold it.
    virtual std::string programPath() = 0;
    // False when the program's path holds letters that its code page cannot
    // hold (a folder named in Cyrillic on a Western Windows before 10 1903):
    // the program can then neither open its own files nor name itself.
    virtual bool programPathFitsCodePage() = 0;
    // The user's folder for temporary files (GetTempPathA), where programs
    // that open a zip unpack what they start, ending in a separator, with
    // its folders' long names; empty when it cannot be had.
    virtual std::string tempFolder() = 0;
    // `path` with its folders' long names, as tempFolder() gives them: a
    // launcher may start the program through 8.3 names. `path` itself when
    // that cannot be had.
    virtual std::string longPathOf(const std::string& path) = 0;
    virtual OsVersion osVersion() = 0;
    // Registers the window for device notifications of the serial port class.
    virtual void registerPortNotifications() = 0;
    // Opens a web address with the shell's default action.
    virtual void openWebPage(const std::string& address) = 0;
    // Asks the application to end: the message loop stops at its next turn.
    virtual void terminate() = 0;
    // Asks the main window to close (runs the close confirmation).
    virtual void closeWindow() = 0;
    // Where the window's system events go; none before this is called.
    virtual void setSystemEvents(SystemEvents* events) = 0;
    // While an upgrade is under way (hold true until it is called with
    // false): Windows shows the user why the session should not end now,
    // and the PC does not go to sleep on its own.
    virtual void holdSession(bool hold) = 0;
    // While the version watch runs (true until it is called with false):
    // the PC does not go to sleep on its own.
    virtual void keepAwake(bool awake) = 0;
    // Waits until `done()` holds, at most `limit`, while the window's
    // thread answers what is sent to it (paint, Windows' pings, screen
    // readers) and takes no input and no timer tick; true when it held.
    virtual bool waitAnswering(const std::function<bool()>& done, std::chrono::milliseconds limit) = 0;
    // Waits until `done()` holds, however long that takes, while the window
    // works as on a busy page: it paints and answers Windows' pings, screen
    // readers, its timers, a move and a close request (the close box,
    // Alt+F4, the task bar); clicks and keys in the window are dropped.
    virtual void waitServing(const std::function<bool()>& done) = 0;
    // Lets the window's thread answer what other threads and programs have
    // sent to its windows (PeekMessageA without removing anything), so that
    // a long task on that thread is not taken for a hung window. Posted
    // input and timers stay queued for the message loop.
    virtual void answerSystem() = 0;
};

}  // namespace app
