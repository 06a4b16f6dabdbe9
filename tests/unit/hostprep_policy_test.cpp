// The host preparation flow with a fake registry, fake host and scripted
// message boxes.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/dialogs.h"
#include "hostprep/indexing_policy.h"

namespace {

using hostprep::RootKey;

struct Value {
    uint32_t type;
    std::vector<uint8_t> data;
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};

Value dword(uint32_t v) {
    return {hostprep::kRegDword,
            {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}
Value text(const std::string& s) {
    Value v{hostprep::kRegSz, std::vector<uint8_t>(s.begin(), s.end())};
    v.data.push_back(0);
    return v;
}

using KeyId = std::pair<RootKey, std::string>;
using Values = std::map<std::string, Value>;

// A registry in memory. Each key grants at most `maxAccess`; an open or
// create asking for more is refused, as Windows refuses a user without the
// rights. The view flag is no right and is not weighed.
class FakeRegistry final : public hostprep::Registry {
public:
    std::map<KeyId, Values> keys;
    std::map<KeyId, uint32_t> maxAccess;   // absent: every right
    std::set<KeyId> cannotCreate;          // creation refused where the key is missing
    bool setFails = false;
    struct Call { std::string op; KeyId key; uint32_t access; };
    std::vector<Call> calls;
    int openKeys = 0;

    std::unique_ptr<hostprep::RegistryKey> openKey(RootKey root, const std::string& path, uint32_t access) override {
        calls.push_back({"open", {root, path}, access});
        if (!keys.count({root, path}) || !allowed({root, path}, access)) return nullptr;
        return std::make_unique<Key>(*this, KeyId{root, path});
    }
    std::unique_ptr<hostprep::RegistryKey> createKey(RootKey root, const std::string& path, uint32_t access) override {
        calls.push_back({"create", {root, path}, access});
        const KeyId id{root, path};
        if (!allowed(id, access)) return nullptr;
        if (!keys.count(id)) {
            if (cannotCreate.count(id)) return nullptr;
            keys[id];
        }
        return std::make_unique<Key>(*this, id);
    }

private:
    bool allowed(const KeyId& id, uint32_t access) const {
        const auto it = maxAccess.find(id);
        return it == maxAccess.end() || (access & ~hostprep::kKeyWow64_64Key & ~it->second) == 0;
    }

    class Key final : public hostprep::RegistryKey {
    public:
        Key(FakeRegistry& r, KeyId id) : r_(r), id_(std::move(id)) { ++r_.openKeys; }
        ~Key() override { --r_.openKeys; }
        bool queryValue(const std::string& name, uint32_t& type, std::vector<uint8_t>& data) override {
            const Values& values = r_.keys[id_];
            const auto it = values.find(name);
            if (it == values.end()) return false;
            type = it->second.type;
            data = it->second.data;
            return true;
        }
        bool setDword(const std::string& name, uint32_t value) override { return set(name, dword(value)); }
        bool setString(const std::string& name, const std::string& value) override { return set(name, text(value)); }

    private:
        bool set(const std::string& name, const Value& v) {
            if (r_.setFails) return false;
            r_.keys[id_][name] = v;
            return true;
        }
        FakeRegistry& r_;
        KeyId id_;
    };
};

class FakeHost final : public hostprep::HostSystem {
public:
    std::string path = "C:\\Program Files\\ZEMO Wizard\\FirmwareUpgrade.exe";
    bool privilegeOk = true;
    std::vector<std::string> calls;
    std::string programPath() override { calls.push_back("path"); return path; }
    bool enableShutdownPrivilege() override { calls.push_back("privilege"); return privilegeOk; }
    bool restartOk = true;  // false: Windows refuses the restart
    bool initiateRestart() override { calls.push_back("restart"); return restartOk; }
};

struct Box {
    std::string text, caption;
    unsigned flags;
    bool operator==(const Box& o) const { return text == o.text && caption == o.caption && flags == o.flags; }
};

class ScriptedDialogs final : public base::Dialogs {
public:
    std::deque<int> answers;
    std::vector<Box> shown;
    int messageBox(const std::string& t, const std::string& c, unsigned f) override {
        shown.push_back({t, c, f});
        if (answers.empty()) return base::kIdOk;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
};

const KeyId kPolicyKey{RootKey::LocalMachine, hostprep::kPolicyKeyPath};
const KeyId kRunOnceKey{RootKey::CurrentUser, hostprep::kRunOnceKeyPath};
const Box kQuestion{hostprep::kRestartQuestion, "Information", 0x01};
const Box kStep1{hostprep::kStep1Message, "ZEMO DAZ Adoze R Irodidiz Odovuz", 0x00};
const Box kStep2{hostprep::kStep2Message, "ZEMO DAZ Adoze R Irodidiz Odovuz", 0x00};
constexpr uint32_t kKeyRead = 0x20019;

struct Fixture {
    FakeRegistry registry;
    FakeHost host;
    ScriptedDialogs dialogs;
    hostprep::IndexingPolicyPreparation prep{registry, host, dialogs};
};

enum class Start { NoKey, KeyNoValue, Dword0, Dword1, Dword5, String1, Binary1, ShortDword };
enum class Rights { Admin, ReadOnlyUser, NoAccess };

struct PolicyCase {
    const char* name;
    Start start;
    Rights rights;
    int answer;
    bool setFails;
    int result;
    std::vector<Box> boxes;
    bool policyWritten;
};

void PrintTo(const PolicyCase& c, std::ostream* os) { *os << c.name; }

class PolicyCheck : public testing::TestWithParam<PolicyCase> {};

TEST_P(PolicyCheck, DecidesOnTheValueAndTheAnswer) {
    const PolicyCase& c = GetParam();
    Fixture f;
    const std::map<Start, std::optional<Value>> values = {
        {Start::KeyNoValue, std::nullopt}, {Start::Dword0, dword(0)},  {Start::Dword1, dword(1)},
        {Start::Dword5, dword(5)},         {Start::String1, text("1")}, {Start::Binary1, Value{3, {1, 0, 0, 0}}},
        {Start::ShortDword, Value{hostprep::kRegDword, {1, 0}}}};
    if (c.start != Start::NoKey) {
        f.registry.keys[kPolicyKey];
        if (auto v = values.at(c.start)) f.registry.keys[kPolicyKey][hostprep::kPolicyValueName] = *v;
    }
    if (c.rights == Rights::ReadOnlyUser) f.registry.maxAccess[kPolicyKey] = kKeyRead;
    if (c.rights == Rights::NoAccess) f.registry.maxAccess[kPolicyKey] = 0;
    if (c.rights != Rights::Admin) f.registry.cannotCreate.insert(kPolicyKey);
    f.registry.setFails = c.setFails;
    f.dialogs.answers = {c.answer};
    const auto before = f.registry.keys;

    EXPECT_EQ(f.prep.CheckIndexingPolicy(), c.result);

    EXPECT_EQ(f.dialogs.shown, c.boxes);
    EXPECT_EQ(f.registry.openKeys, 0) << "every key is closed again";
    EXPECT_TRUE(f.host.calls.empty());
    if (c.policyWritten) {
        ASSERT_TRUE(f.registry.keys.count(kPolicyKey));
        EXPECT_EQ(f.registry.keys[kPolicyKey][hostprep::kPolicyValueName], dword(1));
    } else if (c.result == hostprep::kPolicyStop && !c.setFails) {
        EXPECT_EQ(f.registry.keys, before) << "nothing written";
    }
    // The read only queries; writing asks for full access. Both act on the
    // 64-bit view, which Windows Search reads, also from the 32-bit build.
    for (const auto& call : f.registry.calls) {
        EXPECT_EQ(call.key, kPolicyKey);
        EXPECT_EQ(call.access, (call.op == "open" ? hostprep::kKeyQueryValue : hostprep::kKeyAllAccess) |
                                   hostprep::kKeyWow64_64Key)
            << call.op;
    }
}

const int kOk = base::kIdOk, kCancel = base::kIdCancel;

INSTANTIATE_TEST_SUITE_P(
    Flow, PolicyCheck,
    testing::Values(
        PolicyCase{"Value1", Start::Dword1, Rights::Admin, kOk, false, 1, {}, false},
        PolicyCase{"Value5CountsAsSet", Start::Dword5, Rights::Admin, kOk, false, 1, {}, false},
        PolicyCase{"SetValueSeenWithoutAdminRights", Start::Dword1, Rights::ReadOnlyUser, kOk, false, 1, {}, false},
        PolicyCase{"Value0Ok", Start::Dword0, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"NoKeyOk", Start::NoKey, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"NoValueOk", Start::KeyNoValue, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"StringValueAsksAndWritesDword", Start::String1, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"BinaryValueAsks", Start::Binary1, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"ShortDwordAsks", Start::ShortDword, Rights::Admin, kOk, false, 0, {kQuestion}, true},
        PolicyCase{"NoKeyCancel", Start::NoKey, Rights::Admin, kCancel, false, 2, {kQuestion}, false},
        PolicyCase{"Value0Cancel", Start::Dword0, Rights::Admin, kCancel, false, 2, {kQuestion}, false},
        PolicyCase{"Value0NoRightsOk", Start::Dword0, Rights::ReadOnlyUser, kOk, false, 2, {kQuestion, kStep1}, false},
        PolicyCase{"NoKeyNotCreatable", Start::NoKey, Rights::ReadOnlyUser, kOk, false, 2, {kQuestion, kStep1}, false},
        PolicyCase{"Value1UnreadableAsks", Start::Dword1, Rights::NoAccess, kOk, false, 2, {kQuestion, kStep1}, false},
        PolicyCase{"SettingFails", Start::NoKey, Rights::Admin, kOk, true, 2, {kQuestion, kStep1}, false}),
    [](const testing::TestParamInfo<PolicyCase>& info) { return std::string(info.param.name); });

TEST(PolicyCheck, SettingFailureWritesNoValue) {
    Fixture f;
    f.registry.keys[kPolicyKey][hostprep::kPolicyValueName] = dword(0);
    f.registry.setFails = true;
    EXPECT_EQ(f.prep.CheckIndexingPolicy(), hostprep::kPolicyStop);
    EXPECT_EQ(f.registry.keys[kPolicyKey][hostprep::kPolicyValueName], dword(0));
}

TEST(ResumeEntry, StoresTheQuotedProgramPath) {
    Fixture f;
    f.prep.WriteResumeEntry();
    EXPECT_TRUE(f.dialogs.shown.empty());
    EXPECT_EQ(f.registry.openKeys, 0);
    ASSERT_EQ(f.registry.calls.size(), 1u);
    EXPECT_EQ(f.registry.calls[0].op, "create");
    EXPECT_EQ(f.registry.calls[0].key, kRunOnceKey);
    EXPECT_EQ(f.registry.calls[0].access, hostprep::kKeyAllAccess);
    EXPECT_EQ(f.registry.keys[kRunOnceKey]["VAR Uzudivid Orirere"],
              text("\"C:\\Program Files\\ZEMO Wizard\\FirmwareUpgrade.exe\""));
}

// Without the entry the user is told to start the program again; the
// restart follows all the same. An empty program path (its name could not
// be had whole) is no entry either: it would start nothing; nor is a path
// with the '?' that stands for letters outside the ANSI code page.
TEST(ResumeEntry, FailureShowsStep2AndRestartStillFollows) {
    enum class Failure { KeyRefused, ValueRefused, NoProgramPath, LettersLost };
    for (const Failure failure :
         {Failure::KeyRefused, Failure::ValueRefused, Failure::NoProgramPath, Failure::LettersLost}) {
        SCOPED_TRACE(static_cast<int>(failure));
        Fixture f;
        if (failure == Failure::KeyRefused) f.registry.cannotCreate.insert(kRunOnceKey);
        if (failure == Failure::ValueRefused) f.registry.setFails = true;
        if (failure == Failure::NoProgramPath) f.host.path.clear();
        if (failure == Failure::LettersLost) f.host.path = "C:\\?????????? ??\\FirmwareUpgrade.exe";
        f.prep.WriteResumeEntry();
        f.prep.RestartWindows();
        EXPECT_EQ(f.dialogs.shown, std::vector<Box>{kStep2});
        EXPECT_EQ(f.registry.openKeys, 0);
        EXPECT_TRUE(f.registry.keys[kRunOnceKey].empty());
        EXPECT_EQ(f.host.calls.back(), "restart");
    }
}

// Refused either way, the restart is asked for once and nothing is said;
// the registry (the policy and the resume entry) is left as it is.
TEST(Restart, EnablesThePrivilegeThenRestartsEvenIfRefused) {
    const std::pair<bool, bool> rows[] = {{true, true}, {false, true}, {true, false}};
    for (const auto& [privilegeOk, restartOk] : rows) {
        SCOPED_TRACE(std::to_string(privilegeOk) + std::to_string(restartOk));
        Fixture f;
        f.host.privilegeOk = privilegeOk;
        f.host.restartOk = restartOk;
        f.prep.RestartWindows();
        EXPECT_EQ(f.host.calls, (std::vector<std::string>{"privilege", "restart"}));
        EXPECT_TRUE(f.dialogs.shown.empty());
        EXPECT_TRUE(f.registry.calls.empty());
    }
}

}  // namespace
