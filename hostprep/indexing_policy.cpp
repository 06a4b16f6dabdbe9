#include "hostprep/indexing_policy.h"

#include "base/dialogs.h"

namespace hostprep {

std::string ResumeCommand(const std::string& programPath) { return "\"" + programPath + "\""; }

namespace {

// A '?' names no file: Windows allows none in a file name, and its ANSI
// calls put one where the code page lacks a letter. The "\\?\" that may
// lead a long path is no such mark.
bool namesAFile(const std::string& path) {
    const std::size_t from = path.rfind("\\\\?\\", 0) == 0 ? 4 : 0;
    return !path.empty() && path.find('?', from) == std::string::npos;
}

}  // namespace

// The policy counts as set when its value is a REG_DWORD other than 0. A
// missing key or value, another type or data of another size all read as 0.
// The value is only read, so the key is opened for querying alone: a user
// without administrator rights can still see a policy that is set.
bool IndexingPolicyPreparation::policyInForce() {
    auto key = registry_.openKey(RootKey::LocalMachine, kPolicyKeyPath, kKeyQueryValue | kPolicyView);
    if (!key) return false;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (!key->queryValue(kPolicyValueName, type, data)) return false;
    if (type != kRegDword || data.size() != 4) return false;
    return (data[0] | data[1] | data[2] | data[3]) != 0;
}

int IndexingPolicyPreparation::CheckIndexingPolicy() {
    if (policyInForce()) return kPolicyInForce;
    if (dialogs_.messageBox(kRestartQuestion, kRestartCaption, base::kMbOkCancel) != base::kIdOk) return kPolicyStop;

    auto key = registry_.createKey(RootKey::LocalMachine, kPolicyKeyPath, kKeyAllAccess | kPolicyView);
    // A key that opens but refuses the value ends the same way as one that
    // cannot be opened: the user learns it, nothing more is written and no
    // restart follows.
    if (!key || !key->setDword(kPolicyValueName, 1)) {
        key.reset();
        dialogs_.messageBox(kStep1Message, base::kApplicationTitle, base::kMbOk);
        return kPolicyStop;
    }
    return kPolicyJustWritten;
}

// When the entry cannot be left, for want of the key, of the value or of
// the program's own path (an empty, cut or '?'-marked path would start
// nothing), the user is told to start the program again by hand after the
// restart.
void IndexingPolicyPreparation::WriteResumeEntry() {
    const std::string path = host_.programPath();
    auto key = namesAFile(path) ? registry_.createKey(RootKey::CurrentUser, kRunOnceKeyPath, kKeyAllAccess) : nullptr;
    const bool written = key && key->setString(kResumeValueName, ResumeCommand(path));
    key.reset();
    if (!written) dialogs_.messageBox(kStep2Message, base::kApplicationTitle, base::kMbOk);
}

// Neither result is acted on: the program ends either way, and the policy
// and the resume entry stay for a restart by hand.
void IndexingPolicyPreparation::RestartWindows() {
    host_.enableShutdownPrivilege();
    host_.initiateRestart();
}

}  // namespace hostprep
