#include "base/setup_api_win.h"

#include <utility>

#include "base/system_dll_win.h"

namespace win::setupapi {

namespace {

// Calls the function `name` of setupapi with `args`; `failed` when it
// cannot be had.
template <typename Fn, typename Result, typename... Args>
Result call(const char* name, Result failed, Args... args) {
    if (const auto fn = SystemFunction<Fn>(L"setupapi.dll", name)) return fn(args...);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return failed;
}

}  // namespace

HDEVINFO GetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) {
    return call<decltype(&SetupDiGetClassDevsA)>("SetupDiGetClassDevsA", INVALID_HANDLE_VALUE, classGuid, enumerator,
                                                 parent, flags);
}

BOOL EnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
    return call<decltype(&SetupDiEnumDeviceInfo)>("SetupDiEnumDeviceInfo", FALSE, set, index, device);
}

BOOL GetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                PBYTE buffer, DWORD size, PDWORD required) {
    return call<decltype(&SetupDiGetDeviceRegistryPropertyA)>("SetupDiGetDeviceRegistryPropertyA", FALSE, set,
                                                              device, property, type, buffer, size, required);
}

BOOL GetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA device, PSTR id, DWORD size, PDWORD required) {
    return call<decltype(&SetupDiGetDeviceInstanceIdA)>("SetupDiGetDeviceInstanceIdA", FALSE, set, device, id, size,
                                                        required);
}

BOOL DestroyDeviceInfoList(HDEVINFO set) {
    return call<decltype(&SetupDiDestroyDeviceInfoList)>("SetupDiDestroyDeviceInfoList", FALSE, set);
}

}  // namespace win::setupapi
