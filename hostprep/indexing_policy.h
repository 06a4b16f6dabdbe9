// The decision flow of host preparation: the removable-drive indexing
// policy, the run-once resume entry and the restart, on top of the
// registry and host interfaces.
#pragma once

#include "hostprep/host_preparation.h"
#include "hostprep/host_system.h"
#include "hostprep/registry.h"

namespace base { class Dialogs; }

namespace hostprep {

inline constexpr const char* kPolicyKeyPath = "SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search\\";
// The policy is read and written where Windows Search reads it: in the
// 64-bit view, also from the 32-bit build. The resume entry lies under
// HKEY_CURRENT_USER\Software, which is not redirected.
inline constexpr uint32_t kPolicyView = kKeyWow64_64Key;
inline constexpr const char* kPolicyValueName = "DisableRemovableDriveIndexing";
inline constexpr const char* kRunOnceKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kResumeValueName = "VAR Uzudivid Orirere";

inline constexpr const char* kRestartCaption = "Information";
inline constexpr const char* kRestartQuestion =
    "A system restart is required. You must restart Windows before installing the new firmware.\n"
    "Click Yes to restart the system. Make sure all applications are saved and closed.\n"
    "Click Cancel to abort the firmware upgrade process.";
inline constexpr const char* kStep1Message =
    "Step 1: Program cannot access the specified data. Make sure you are an administrator and run the program again.";
inline constexpr const char* kStep2Message = "Step 2: Execute the program again after system is rebooted.";

// The command stored in the resume entry: the program's path in double
// quotes, so that a path with spaces starts the program and nothing else.
std::string ResumeCommand(const std::string& programPath);

class IndexingPolicyPreparation final : public HostPreparation {
public:
    IndexingPolicyPreparation(Registry& registry, HostSystem& host, base::Dialogs& dialogs)
        : registry_(registry), host_(host), dialogs_(dialogs) {}

    int CheckIndexingPolicy() override;
    void WriteResumeEntry() override;
    void RestartWindows() override;

private:
    bool policyInForce();
    Registry& registry_;
    HostSystem& host_;
    base::Dialogs& dialogs_;
};

}  // namespace hostprep
