// The texts that name places on a drive: its root, the status file search
// pattern and the firmware file written to the boot drive.
#pragma once

#include <cstddef>
#include <string>

namespace bootdrive {

inline constexpr std::size_t kPathBufferSize = 256;  // 255 characters and the zero
inline constexpr const char* kFirmwareFileName = "AIS_Firmware.S19";

// "E:\" for drive E.
std::string DriveRoot(char letter);

// "E:\*.txt": the root folder of drive E only.
std::string RootTxtPattern(char letter);

// Writes "E:\AIS_Firmware.S19" for drive E into `out`, never past its end.
void FormatTargetPath(char letter, char (&out)[kPathBufferSize]);

// Copies the zero-terminated `from` into `out`, cut to 255 bytes, and
// never inside a UTF-8 character.
void CopyPath(char (&out)[kPathBufferSize], const char* from);

}  // namespace bootdrive
