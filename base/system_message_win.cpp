#include "base/system_message_win.h"

namespace win {

std::string SystemMessage(DWORD error) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   nullptr, error, 0, text, sizeof text, nullptr);
    std::string message(text, n < sizeof text ? n : 0);
    while (!message.empty() && (message.back() == ' ' || message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message;
}

}  // namespace win
