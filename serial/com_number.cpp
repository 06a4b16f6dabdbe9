#include "serial/com_number.h"

#include <cstring>

namespace serial {
namespace {
bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

int32_t ReadLeadingInteger(const char* text) {
    const char* p = text;
    while (IsWhiteSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    // Accumulate on the magnitude side of the sign so that INT32_MIN fits.
    constexpr int64_t kLimitPositive = INT32_MAX;
    constexpr int64_t kLimitNegative = -static_cast<int64_t>(INT32_MIN);
    const int64_t limit = negative ? kLimitNegative : kLimitPositive;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit;  // saturate, keep consuming digits
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t ComNumberOfFriendlyName(const char* friendlyName) {
    const char* com = std::strstr(friendlyName, "COM");
    return com == nullptr ? 0 : ReadLeadingInteger(com + 3);
}

std::string ComDevicePath(int32_t port) { return "\\\\.\\COM" + std::to_string(port); }

}  // namespace serial
