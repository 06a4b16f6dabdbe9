// The COM number reader, on arbitrary names, against the C library's strtol.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "serial/com_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A friendly name is read into 128 bytes: at most 127 characters.
    std::string name(reinterpret_cast<const char*>(data), size < 127 ? size : 127);
    name = name.substr(0, name.find('\0'));
    const int32_t port = serial::ComNumberOfFriendlyName(name.c_str());
    const char* com = std::strstr(name.c_str(), "COM");
    if (com == nullptr) {
        if (port != 0) std::abort();
        return 0;
    }
    errno = 0;
    long long expected = std::strtoll(com + 3, nullptr, 10);
    if (expected > INT32_MAX) expected = INT32_MAX;
    if (expected < INT32_MIN) expected = INT32_MIN;
    if (port != expected) std::abort();
    if (serial::ComDevicePath(port).rfind("\\\\.\\COM", 0) != 0) std::abort();
    return 0;
}
