// Owners of the Win32 handles of the serial link.
#pragma once

#include "base/unique_handle_win.h"

namespace serial {

using UniqueHandle = win::KernelHandle;      // a port
using DeviceInfoList = win::DeviceInfoList;  // a SetupAPI device information set

}  // namespace serial
