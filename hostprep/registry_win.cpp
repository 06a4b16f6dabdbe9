#include "hostprep/registry_win.h"

namespace hostprep {

static_assert(kKeyQueryValue == KEY_QUERY_VALUE && kKeyAllAccess == KEY_ALL_ACCESS, "access rights");
static_assert(kKeyWow64_64Key == KEY_WOW64_64KEY, "the 64-bit view");
static_assert(kRegSz == REG_SZ && kRegDword == REG_DWORD, "value types");

namespace {

HKEY rootHandle(RootKey root) { return root == RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(RegKeyHandle key) : key_(std::move(key)) {}

    bool queryValue(const std::string& name, uint32_t& type, std::vector<uint8_t>& data) override {
        DWORD valueType = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS)
            return false;
        // The value may grow between the two calls; ask again until it fits.
        for (;;) {
            data.resize(size);
            const LONG rc = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &valueType,
                                             data.empty() ? nullptr : data.data(), &size);
            if (rc == ERROR_MORE_DATA) continue;
            if (rc != ERROR_SUCCESS) return false;
            data.resize(size);
            type = valueType;
            return true;
        }
    }

    bool setDword(const std::string& name, uint32_t value) override {
        const DWORD data = value;
        return RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                              sizeof data) == ERROR_SUCCESS;
    }

    bool setString(const std::string& name, const std::string& value) override {
        return RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

private:
    RegKeyHandle key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::openKey(RootKey root, const std::string& path, uint32_t access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(rootHandle(root), path.c_str(), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(RegKeyHandle(key));
}

std::unique_ptr<RegistryKey> Win32Registry::createKey(RootKey root, const std::string& path, uint32_t access) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(rootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32Key>(RegKeyHandle(key));
}

}  // namespace hostprep
