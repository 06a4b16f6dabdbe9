// The host preparation of this Windows machine: the decision flow on the
// real registry, the program's own file and the real restart.
#include "hostprep/host_preparation.h"

#include "hostprep/host_system_win.h"
#include "hostprep/indexing_policy.h"
#include "hostprep/registry_win.h"

namespace hostprep {
namespace {

class SystemHostPreparation final : public HostPreparation {
public:
    explicit SystemHostPreparation(base::Dialogs& dialogs) : flow_(registry_, host_, dialogs) {}
    int CheckIndexingPolicy() override { return flow_.CheckIndexingPolicy(); }
    void WriteResumeEntry() override { flow_.WriteResumeEntry(); }
    void RestartWindows() override { flow_.RestartWindows(); }

private:
    Win32Registry registry_;
    Win32HostSystem host_;
    IndexingPolicyPreparation flow_;
};

}  // namespace

std::unique_ptr<HostPreparation> makeSystemHostPreparation(base::Dialogs& dialogs) {
    return std::make_unique<SystemHostPreparation>(dialogs);
}

}  // namespace hostprep
