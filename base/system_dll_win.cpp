#include "base/system_dll_win.h"

#include <map>
#include <mutex>
#include <string>

namespace win {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, declared only for Windows 8 and later.
constexpr DWORD kSearchSystem32 = 0x00000800;

HMODULE LoadFromSystemFolder(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, kSearchSystem32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // A Windows 7 without KB2533623 does not know the flag: name the
    // system folder itself.
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, n) + L"\\" + name;
    return LoadLibraryW(path.c_str());
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDefault = LoadedFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories"))
        setDefault(kSearchSystem32);
    SetDllDirectoryW(L"");
}

HMODULE SystemLibrary(const wchar_t* name) {
    // Loaded once and never freed, and the map and its lock are never
    // destroyed: a port worker left in a call (SetupDiGetClassDevs may
    // block for seconds while Windows sets up a device) may still be inside
    // one of these DLLs, or come here, while exit() runs the destructors of
    // statics.
    static std::mutex& mutex = *new std::mutex;
    static std::map<std::wstring, HMODULE>& loaded = *new std::map<std::wstring, HMODULE>;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = loaded.find(name);
    if (it == loaded.end()) it = loaded.emplace(name, LoadFromSystemFolder(name)).first;
    return it->second;
}

}  // namespace win
