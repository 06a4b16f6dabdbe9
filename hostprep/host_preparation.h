// Preparing the host before an upgrade: the removable-drive indexing policy,
// the run-once resume entry and the restart of Windows.
#pragma once

#include <memory>

namespace base { class Dialogs; }

namespace hostprep {

// Results of CheckIndexingPolicy.
constexpr int kPolicyJustWritten = 0;   // restart needed
constexpr int kPolicyInForce = 1;       // go on
constexpr int kPolicyStop = 2;          // declined, or the key cannot be written

class HostPreparation {
public:
    virtual ~HostPreparation() = default;
    virtual int CheckIndexingPolicy() = 0;
    virtual void WriteResumeEntry() = 0;
    virtual void RestartWindows() = 0;
};

// The host preparation of this Windows machine (hostprep/*_win.cpp).
std::unique_ptr<HostPreparation> makeSystemHostPreparation(base::Dialogs& dialogs);

}  // namespace hostprep
