// The error boxes that say what stood in the way. Each keeps the wizard's
// text as its first lines and adds one paragraph after an empty line.
#pragma once

#include <string>
#include <vector>

#include "bootdrive/Copyfilethread.h"
#include "package/image_check.h"
#include "serial/device_detection.h"

namespace app {

// The box of a Start that found no transponder, from the search's lists:
// the ports another program holds, or that Windows lists no COM port at
// all; the text alone when ports were there and none answered. A port in
// `stuck` hung in the search, or is held by a call of the wizard's own
// still in its driver: it does not respond, and only plugging the device
// in again frees it (it is not named as another program's).
std::string NoDeviceMessage(const serial::PortLists& lists, const std::vector<int>& stuck = {});

// The box of a copy that failed, with the drive of `targetPath` and the
// reason Windows gives (its error number when it gives no words).
std::string CopyFailedMessage(const std::string& targetPath, const bootdrive::CopyResult& result);

// The box of a copy that could not start because the copy onto
// `earlierTarget` has not ended.
std::string EarlierCopyMessage(const std::string& earlierTarget);

// The box of a firmware image that cannot be used, beside the program in
// `programFolder`: missing (from a folder of temporary files, `tempFolder`
// or one named like Explorer's "Temp1_<zip name>.zip": the zip was not
// unpacked), with a path too long, unreadable (Windows' reason), or
// damaged (its first failing line). `longProgramFolder` is the program's
// folder by its long names, as `tempFolder` is given, to compare with it.
std::string NoFirmwareMessage(const package::ImageTrouble& trouble, const std::string& programFolder,
                              const std::string& longProgramFolder, const std::string& tempFolder);

}  // namespace app
