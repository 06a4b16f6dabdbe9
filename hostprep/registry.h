// The part of the Windows registry that host preparation uses, as a small
// interface: the Win32 one is registry_win.cpp, tests use a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hostprep {

enum class RootKey { LocalMachine, CurrentUser };

// Access rights and value types, with their Windows values.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeyAllAccess = 0xF003F;
// Added to the rights: the key in the 64-bit view of the registry, also
// from a 32-bit program on 64-bit Windows, whose HKLM\SOFTWARE is otherwise
// redirected to its own copy (Wow6432Node). 32-bit Windows ignores it.
// It names a view, not a right.
constexpr uint32_t kKeyWow64_64Key = 0x0100;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;

// An open key; destroying it closes the key.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The type and the raw data of a value; false when it cannot be read.
    virtual bool queryValue(const std::string& name, uint32_t& type, std::vector<uint8_t>& data) = 0;
    virtual bool setDword(const std::string& name, uint32_t value) = 0;
    // Stores the text with its terminating zero.
    virtual bool setString(const std::string& name, const std::string& value) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key; null when it does not exist or is refused.
    virtual std::unique_ptr<RegistryKey> openKey(RootKey root, const std::string& path, uint32_t access) = 0;
    // Creates the key (an ordinary non-volatile one) or opens it when it
    // exists; null when neither is possible.
    virtual std::unique_ptr<RegistryKey> createKey(RootKey root, const std::string& path, uint32_t access) = 0;
};

}  // namespace hostprep
