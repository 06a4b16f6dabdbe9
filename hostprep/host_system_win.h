// The running program's file, its token and the restart on this Windows
// machine.
#pragma once

#include <windows.h>

#include "hostprep/host_system.h"

namespace hostprep {

// Owns one kernel handle (here the process token) and closes it when it
// goes.
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() { reset(); }
    KernelHandle(KernelHandle&& other) noexcept : handle_(other.release()) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept;
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release();
    void reset();

private:
    HANDLE handle_ = nullptr;
};

// Full path of the running executable (GetModuleFileNameA), however long.
std::string ModuleFilePath();

class Win32HostSystem final : public HostSystem {
public:
    std::string programPath() override { return ModuleFilePath(); }
    bool enableShutdownPrivilege() override;
    bool initiateRestart() override;
};

}  // namespace hostprep
