#include "app/single_instance_win.h"

#include "app/window_win.h"

namespace app {

InstanceLock WinInstanceSystem::takeLock() {
    mutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (!mutex_.valid()) {
        // Made by a wizard of another user, whose mutex this user may not
        // open: it is held.
        return GetLastError() == ERROR_ACCESS_DENIED ? InstanceLock::HeldElsewhere : InstanceLock::Unavailable;
    }
    switch (WaitForSingleObject(mutex_.get(), 0)) {
        case WAIT_OBJECT_0:
            return InstanceLock::Taken;
        case WAIT_ABANDONED:
            return InstanceLock::Abandoned;  // ours now
        case WAIT_TIMEOUT:
            return InstanceLock::HeldElsewhere;
        default:
            return InstanceLock::Unavailable;
    }
}

bool WinInstanceSystem::bringRunningWizardForward() {
    HWND owner = FindWindowA(kOwnerWindowClass, nullptr);
    HWND main = owner ? FindWindowExA(nullptr, nullptr, kMainWindowClass, nullptr) : nullptr;
    // The main window of that wizard is the one its task bar window owns.
    while (main && GetWindow(main, GW_OWNER) != owner) main = FindWindowExA(nullptr, main, kMainWindowClass, nullptr);
    if (!main) return false;
    if (IsIconic(owner)) ShowWindowAsync(owner, SW_RESTORE);
    else if (!IsWindowVisible(main)) return false;  // still starting up
    SetForegroundWindow(GetLastActivePopup(main));
    return true;
}

}  // namespace app
