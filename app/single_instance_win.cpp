#include "app/single_instance_win.h"

#include "app/layout.h"

namespace app {

InstanceLock WinInstanceSystem::takeLock(int waitMs) {
    const DWORD wait = waitMs > 0 ? static_cast<DWORD>(waitMs) : 0;
    if (!mutex_.valid()) {
        mutex_.reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
        if (!mutex_.valid()) {
            if (GetLastError() != ERROR_ACCESS_DENIED) return InstanceLock::Unavailable;
            // Made by a wizard of another user, whose mutex this user may
            // not open: it is held. It can only be looked at again later.
            if (wait) Sleep(wait);
            return InstanceLock::HeldElsewhere;
        }
    }
    switch (WaitForSingleObject(mutex_.get(), wait)) {
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

namespace {

struct PopupSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findShownPopup(HWND h, LPARAM lp) {
    auto* search = reinterpret_cast<PopupSearch*>(lp);
    if (GetWindow(h, GW_OWNER) != search->owner || !IsWindowVisible(h)) return TRUE;
    search->found = h;
    return FALSE;
}

// A shown window that `owner` owns (the box it asks from), or null.
HWND shownPopupOf(HWND owner) {
    PopupSearch search{owner, nullptr};
    EnumWindows(findShownPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What the running wizard shows on top: the box it asks from, or its
// window; null when nothing of it is on screen.
HWND frontOf(HWND owner, HWND main) {
    HWND front = GetLastActivePopup(main);
    if (front && front != main && IsWindowVisible(front)) return front;
    if (IsWindowVisible(main)) return main;
    // Its window is not shown yet, or no longer: a box it shows from start-up
    // (the restart question) may never have been active.
    if (HWND box = shownPopupOf(main)) return box;
    return shownPopupOf(owner);
}

}  // namespace

bool WinInstanceSystem::bringRunningWizardForward() {
    HWND owner = FindWindowA(kOwnerWindowClass, nullptr);
    HWND main = owner ? FindWindowExA(nullptr, nullptr, kMainWindowClass, nullptr) : nullptr;
    // The main window of that wizard is the one its task bar window owns.
    while (main && GetWindow(main, GW_OWNER) != owner) main = FindWindowExA(nullptr, main, kMainWindowClass, nullptr);
    if (!main) return false;
    if (IsIconic(owner)) {
        ShowWindowAsync(owner, SW_RESTORE);
        SetForegroundWindow(GetLastActivePopup(main));
        return true;
    }
    HWND front = frontOf(owner, main);
    if (!front) return false;
    SetForegroundWindow(front);
    return true;
}

}  // namespace app
