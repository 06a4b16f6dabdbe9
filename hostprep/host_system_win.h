// The running program's file, its token and the restart on this Windows
// machine.
#pragma once

#include <windows.h>

#include "base/module_path_win.h"
#include "base/unique_handle_win.h"
#include "hostprep/host_system.h"

namespace hostprep {

// Owns one kernel handle (here the process token).
using KernelHandle = win::KernelHandle;

class Win32HostSystem final : public HostSystem {
public:
    std::string programPath() override { return win::ModuleFilePath(); }
    bool enableShutdownPrivilege() override;
    bool initiateRestart() override;
};

}  // namespace hostprep
