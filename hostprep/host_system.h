// What host preparation needs of the machine besides the registry: the
// program's own file and the restart.
#pragma once

#include <string>

namespace hostprep {

class HostSystem {
public:
    virtual ~HostSystem() = default;
    // Full path of the running program's executable file; empty when it
    // cannot be had whole or the code page cannot hold it.
    virtual std::string programPath() = 0;
    // Enables the shutdown privilege in the process's token; true when
    // every step succeeded.
    virtual bool enableShutdownPrivilege() = 0;
    // Starts an immediate, forced restart of the local machine; true when
    // the system accepted the request.
    virtual bool initiateRestart() = 0;
};

}  // namespace hostprep
