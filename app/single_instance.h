// One wizard at a time on the machine: the device is one physical device,
// and two wizards copying onto its one boot drive would corrupt the image
// it flashes. A second start brings the running wizard forward and ends.
#pragma once

#include "base/dialogs.h"

namespace app {

// What taking the wizard's machine-wide lock gave.
enum class InstanceLock {
    Taken,          // nobody held it: this start is the wizard
    Abandoned,      // its holder ended without letting go (it crashed): free
    HeldElsewhere,  // a running wizard holds it, in this session or another
    Unavailable,    // the lock itself could not be made: nothing to go by
};

// What a start needs of the system to decide.
class InstanceSystem {
public:
    virtual ~InstanceSystem() = default;
    // Takes the lock for the life of the process, or learns who holds it,
    // waiting up to `waitMs` for a holder that is ending to let go.
    virtual InstanceLock takeLock(int waitMs) = 0;
    // Restores the running wizard if it is minimised and brings to the
    // foreground what it shows: its window, or the box it asks from, also
    // while its window is not shown yet (the restart question). False when
    // nothing of it can be found on this desktop: it is still making its
    // window, or it is ending, or it runs for another user.
    virtual bool bringRunningWizardForward() = 0;
};

// How long a second start looks for the running wizard before it says so.
inline constexpr int kInstanceLookMs = 5000;
inline constexpr int kInstancePollMs = 250;

// Told when the lock is held but no wizard can be found to bring forward.
inline constexpr const char* kAlreadyRunningMessage =
    "The firmware upgrade wizard is already running on this PC, perhaps for another user.\n"
    "Only one wizard can work with the transponder at a time: finish or close the other one, "
    "then start the wizard again.";

// True when this start goes on to run the wizard: the lock was taken or
// found abandoned, or could not be made at all (a lock that fails must not
// keep the user from the device). Otherwise the running wizard is brought
// forward and this start ends: the running window is the answer. A holder
// that lets go within a few seconds (a wizard that is ending) leaves the
// lock to this start; when nothing can be brought forward in that time,
// the user is told in a box with the application title, and this start
// ends all the same.
bool ClaimSingleInstance(InstanceSystem& system, base::Dialogs& dialogs);

}  // namespace app
