#include "hostprep/host_system_win.h"

namespace hostprep {

bool Win32HostSystem::enableShutdownPrivilege() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return false;
    const KernelHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA("", "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
    // The call succeeds even when the token lacks the privilege; that case
    // is reported through the last error.
    return GetLastError() == ERROR_SUCCESS;
}

bool Win32HostSystem::initiateRestart() {
    return InitiateSystemShutdownA(nullptr, nullptr, 0, TRUE, TRUE) != FALSE;
}

}  // namespace hostprep
