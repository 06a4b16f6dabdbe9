// COM port numbers as Windows names them.
#pragma once

#include <cstdint>
#include <string>

namespace serial {

// Reads a decimal integer the way strtol does with base 10: leading white
// space is skipped, one sign is honoured, reading stops at the first
// character that is not a digit, and no digits give 0. Values beyond the
// 32-bit range saturate, as a 32-bit strtol does.
int32_t ReadLeadingInteger(const char* text);

// The port number of a friendly name such as "USB Serial Port (COM7)": the
// integer right after the first case-sensitive "COM"; 0 when the name holds
// no "COM" or no number follows the first one.
int32_t ComNumberOfFriendlyName(const char* friendlyName);

// The device path of a port: "\\.\COM7".
std::string ComDevicePath(int32_t port);

}  // namespace serial
