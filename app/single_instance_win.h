// The wizard's machine-wide lock on Windows: a named mutex in the global
// namespace, held by the main thread for the life of the process. Windows
// lets go of it when the process ends, also when it crashes (the next
// start then finds it abandoned). The one handle is kept across looks, so
// that a start waiting for an ending wizard takes the lock it lets go.
#pragma once

#include <windows.h>

#include "app/single_instance.h"
#include "base/unique_handle_win.h"

namespace app {

// Global, not per session: the transponder is one device on the machine,
// and a wizard of another user (fast user switching, remote desktop) copies
// onto the same boot drive.
inline constexpr const wchar_t* kInstanceMutexName = L"Global\\ZEMO-AIS-ClassB-FirmwareUpgrade-9C41E7B2";

class WinInstanceSystem final : public InstanceSystem {
public:
    InstanceLock takeLock(int waitMs) override;
    bool bringRunningWizardForward() override;

private:
    win::KernelHandle mutex_;
};

}  // namespace app
