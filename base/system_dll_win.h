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
// once and never freed, also not at exit; null when it cannot be loaded.
// The activation context of the program's manifest still applies,
// so comctl32 is version 6.
HMODULE SystemLibrary(const wchar_t* name);

// The function `function` of `module` as type Fn; null when either is
// missing (a call that this Windows does not have yet).
template <typename Fn>
Fn FunctionOf(HMODULE module, const char* function) {
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, function)));
}

// A function of a DLL that every process has loaded (kernel32, user32), so
// that calls newer than Windows 7 are looked up at run time; null when the
// system lacks it. The module is not owned: it stays loaded.
template <typename Fn>
Fn LoadedFunction(const wchar_t* dll, const char* function) {
    return FunctionOf<Fn>(GetModuleHandleW(dll), function);
}

// A function of a DLL from the system folder; null when either is missing.
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* function) {
    return FunctionOf<Fn>(SystemLibrary(dll), function);
}

}  // namespace win
