#include "app/single_instance.h"

namespace app {

bool ClaimSingleInstance(InstanceSystem& system) {
    switch (system.takeLock()) {
        case InstanceLock::Taken:
        case InstanceLock::Abandoned:
        case InstanceLock::Unavailable:
            return true;
        case InstanceLock::HeldElsewhere:
            break;
    }
    system.bringRunningWizardForward();
    return false;
}

}  // namespace app
