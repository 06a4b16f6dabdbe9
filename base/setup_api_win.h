// The device setup calls of port discovery, from setupapi.dll in the system
// folder, loaded at the first call: the wizard starts without that DLL and
// needs it only when Start searches the ports. Each call does what its
// SetupDi namesake does; when the DLL or the function cannot be had, it
// fails as its namesake fails (INVALID_HANDLE_VALUE or FALSE), with the last
// error ERROR_PROC_NOT_FOUND.
#pragma once

#include <windows.h>
#include <setupapi.h>

namespace win::setupapi {

HDEVINFO GetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL EnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
BOOL GetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                PBYTE buffer, DWORD size, PDWORD required);
BOOL GetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA device, PSTR id, DWORD size, PDWORD required);
BOOL DestroyDeviceInfoList(HDEVINFO set);

}  // namespace win::setupapi
