// Loading DLLs so that none dropped beside the program is ever used. The
// executable imports only DLLs that Windows always takes from its system
// folder; every other DLL is loaded at run time from that folder alone.
#pragma once

#include <windows.h>

namespace win {

// Takes the program's folder and the current folder out of the DLL search
// of this process, also for the DLLs that Windows' own DLLs load later:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where the system
// has it (Windows 8, Windows 7 with KB2533623), then SetDllDirectoryW(L"").
// Called first thing in WinMain.
void RestrictDllSearchToSystemFolder();

// The DLL `name` (e.g. L"comctl32.dll") from the system folder only, loaded
// once and kept for the life of the process; null when it cannot be
// loaded. The activation context of the program's manifest still applies,
// so comctl32 is version 6.
HMODULE SystemLibrary(const wchar_t* name);

// A function of a DLL from the system folder; null when either is missing.
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* function) {
    HMODULE module = SystemLibrary(dll);
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, function)));
}

}  // namespace win
