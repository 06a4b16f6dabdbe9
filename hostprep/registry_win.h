// The registry of this Windows machine behind the Registry interface.
#pragma once

#include <windows.h>

#include "base/unique_handle_win.h"
#include "hostprep/registry.h"

namespace hostprep {

// Owns one open registry key (RegCloseKey when it goes).
using RegKeyHandle = win::RegKeyHandle;

class Win32Registry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(RootKey root, const std::string& path, uint32_t access) override;
    std::unique_ptr<RegistryKey> createKey(RootKey root, const std::string& path, uint32_t access) override;
};

}  // namespace hostprep
