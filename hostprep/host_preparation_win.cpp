// Placeholder until host preparation lands: the policy is taken as set.
#include "hostprep/host_preparation.h"

namespace hostprep {
namespace {
class PolicyInForce final : public HostPreparation {
public:
    int CheckIndexingPolicy() override { return kPolicyInForce; }
    void WriteResumeEntry() override {}
    void RestartWindows() override {}
};
}  // namespace
std::unique_ptr<HostPreparation> makeSystemHostPreparation(app::Dialogs&) { return std::make_unique<PolicyInForce>(); }
}  // namespace hostprep
