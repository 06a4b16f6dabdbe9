// The host preparation's Win32 layer on the registry of a Wine prefix.
//
// The PreparedPrefix cases check one whole flow each and need the prefix
// in a known state; tests/scripts/hostprep_registry.sh prepares it, names
// the state in WIZARD_HOSTPREP_CASE and checks the registry afterwards from
// outside. Without that variable they are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "hostprep/host_preparation.h"
#include "hostprep/host_system_win.h"
#include "hostprep/indexing_policy.h"
#include "hostprep/registry_win.h"

namespace {

using hostprep::RootKey;

const char* const kScratchKey = "Software\\WizardHostprepTest";

class AnsweringDialogs final : public base::Dialogs {
public:
    explicit AnsweringDialogs(int answer) : answer_(answer) {}
    std::vector<std::string> texts;
    std::vector<std::string> captions;
    int messageBox(const std::string& text, const std::string& caption, unsigned) override {
        texts.push_back(text);
        captions.push_back(caption);
        return answer_;
    }

private:
    int answer_;
};

void requireCase(const char* name) {
    const char* prepared = std::getenv("WIZARD_HOSTPREP_CASE");
    if (!prepared || std::strcmp(prepared, name) != 0) GTEST_SKIP() << "prefix not prepared for " << name;
}

TEST(RegKeyHandle, ClosesTheKeyOnceWhenItGoes) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_QUERY_VALUE, &raw), ERROR_SUCCESS);
    {
        hostprep::RegKeyHandle first(raw);
        hostprep::RegKeyHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        hostprep::RegKeyHandle third;
        third = std::move(second);
        EXPECT_FALSE(second);
    }
    EXPECT_NE(RegCloseKey(raw), ERROR_SUCCESS) << "the key was already closed";
}

TEST(KernelHandle, ClosesTheTokenOnceWhenItGoes) {
    HANDLE raw = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw));
    {
        hostprep::KernelHandle first(raw);
        hostprep::KernelHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
    }
    EXPECT_FALSE(CloseHandle(raw)) << "the token was already closed";
}

TEST(Win32Registry, WritesAndReadsBackDwordAndString) {
    hostprep::Win32Registry registry;
    {
        auto key = registry.createKey(RootKey::CurrentUser, kScratchKey, hostprep::kKeyAllAccess);
        ASSERT_TRUE(key);
        EXPECT_TRUE(key->setDword("Number", 0x01020305));
        EXPECT_TRUE(key->setString("Text", "\"C:\\a b\\c.exe\""));
    }
    auto key = registry.openKey(RootKey::CurrentUser, kScratchKey, hostprep::kKeyQueryValue);
    ASSERT_TRUE(key);
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(key->queryValue("Number", type, data));
    EXPECT_EQ(type, hostprep::kRegDword);
    EXPECT_EQ(data, (std::vector<uint8_t>{5, 3, 2, 1}));
    ASSERT_TRUE(key->queryValue("Text", type, data));
    EXPECT_EQ(type, hostprep::kRegSz);
    const std::string stored = "\"C:\\a b\\c.exe\"";
    std::vector<uint8_t> expected(stored.begin(), stored.end());
    expected.push_back(0);
    EXPECT_EQ(data, expected);
    EXPECT_FALSE(key->queryValue("Absent", type, data));
    // A key opened for querying refuses writes.
    EXPECT_FALSE(key->setDword("Number", 1));
}

TEST(Win32Registry, OpenDoesNotCreate) {
    hostprep::Win32Registry registry;
    const std::string path = std::string(kScratchKey) + "\\NeverCreated";
    EXPECT_FALSE(registry.openKey(RootKey::CurrentUser, path, hostprep::kKeyAllAccess));
    EXPECT_FALSE(registry.openKey(RootKey::CurrentUser, path, hostprep::kKeyQueryValue));
}

TEST(Win32HostSystem, KnowsItsFileAndEnablesThePrivilege) {
    hostprep::Win32HostSystem host;
    const std::string path = host.programPath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(host.enableShutdownPrivilege());
}

// No policy value; the user answers OK: the value is written, then the
// resume entry, then the restart is requested.
TEST(PreparedPrefix, MissingPolicyAndOk) {
    requireCase("missing-ok");
    AnsweringDialogs dialogs(base::kIdOk);
    auto prep = hostprep::makeSystemHostPreparation(dialogs);
    ASSERT_EQ(prep->CheckIndexingPolicy(), hostprep::kPolicyJustWritten);
    prep->WriteResumeEntry();
    prep->RestartWindows();
    ASSERT_EQ(dialogs.texts, std::vector<std::string>{hostprep::kRestartQuestion});
    EXPECT_EQ(dialogs.captions, std::vector<std::string>{"Information"});

    // Where Windows Search reads it: the 64-bit view, also from the 32-bit build.
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies\\Microsoft\\Windows\\Windows Search", 0,
                            KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw),
              ERROR_SUCCESS);
    hostprep::RegKeyHandle policy(raw);
    DWORD type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExA(policy.get(), "DisableRemovableDriveIndexing", nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 1u);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                            KEY_QUERY_VALUE, &raw),
              ERROR_SUCCESS);
    hostprep::RegKeyHandle runOnce(raw);
    char text[1024] = {};
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExA(runOnce.get(), "VAR Uzudivid Orirere", nullptr, &type, reinterpret_cast<BYTE*>(text),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(text), "\"" + win::ModuleFilePath() + "\"");
}

TEST(PreparedPrefix, CancelWritesNothing) {
    requireCase("cancel");
    AnsweringDialogs dialogs(base::kIdCancel);
    auto prep = hostprep::makeSystemHostPreparation(dialogs);
    EXPECT_EQ(prep->CheckIndexingPolicy(), hostprep::kPolicyStop);
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{hostprep::kRestartQuestion});
}

TEST(PreparedPrefix, PolicySetShowsNothing) {
    requireCase("policy-set");
    AnsweringDialogs dialogs(base::kIdCancel);
    auto prep = hostprep::makeSystemHostPreparation(dialogs);
    EXPECT_EQ(prep->CheckIndexingPolicy(), hostprep::kPolicyInForce);
    EXPECT_TRUE(dialogs.texts.empty());
}

}  // namespace
