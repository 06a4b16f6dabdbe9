// The registry of this Windows machine behind the Registry interface.
#pragma once

#include <windows.h>

#include "hostprep/registry.h"

namespace hostprep {

// Owns one open registry key and closes it (RegCloseKey) when it goes.
class RegKeyHandle {
public:
    RegKeyHandle() = default;
    explicit RegKeyHandle(HKEY key) : key_(key) {}
    ~RegKeyHandle() { reset(); }
    RegKeyHandle(RegKeyHandle&& other) noexcept : key_(other.release()) {}
    RegKeyHandle& operator=(RegKeyHandle&& other) noexcept;
    RegKeyHandle(const RegKeyHandle&) = delete;
    RegKeyHandle& operator=(const RegKeyHandle&) = delete;

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    HKEY release();
    void reset();

private:
    HKEY key_ = nullptr;
};

class Win32Registry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(RootKey root, const std::string& path, uint32_t access) override;
    std::unique_ptr<RegistryKey> createKey(RootKey root, const std::string& path, uint32_t access) override;
};

}  // namespace hostprep
