#include "app/single_instance.h"

namespace app {

namespace {

bool runs(InstanceLock lock) { return lock != InstanceLock::HeldElsewhere; }

}  // namespace

bool ClaimSingleInstance(InstanceSystem& system, base::Dialogs& dialogs) {
    // The first look does not wait: a running wizard comes forward at once.
    if (runs(system.takeLock(0))) return true;
    for (int waited = 0;; waited += kInstancePollMs) {
        if (system.bringRunningWizardForward()) return false;
        if (waited >= kInstanceLookMs) break;
        // Meanwhile the holder may end, or its window come up.
        if (runs(system.takeLock(kInstancePollMs))) return true;
    }
    dialogs.messageBox(kAlreadyRunningMessage, base::kApplicationTitle, base::kMbOk | base::kMbIconInformation);
    return false;
}

}  // namespace app
