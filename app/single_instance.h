// One wizard at a time on the machine: the device is one physical device,
// and two wizards copying onto its one boot drive would corrupt the image
// it flashes. A second start brings the running wizard forward and ends.
#pragma once

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
    // Takes the lock for the life of the process, or learns who holds it.
    virtual InstanceLock takeLock() = 0;
    // Restores the running wizard's window if it is minimised and brings it
    // (or the box it shows) to the foreground; false when no window of it
    // is on screen, as while it starts up.
    virtual bool bringRunningWizardForward() = 0;
};

// True when this start goes on to run the wizard: the lock was taken or
// found abandoned, or could not be made at all (a lock that fails must not
// keep the user from the device). Otherwise the running wizard is brought
// forward, and this start ends without a word: the running window is the
// answer.
bool ClaimSingleInstance(InstanceSystem& system);

}  // namespace app
