#include "serial/version_reply.h"

#include <cstring>
#include <vector>

#include "base/utf8_text.h"

namespace serial {

std::optional<std::string> EvaluateReply(const std::string& received) {
    const std::string text = received.substr(0, received.find('\0'));
    const std::size_t start = text.find(kReplyStart);
    if (start == std::string::npos) return std::nullopt;
    if (text.find(kModelText, start) == std::string::npos) return std::nullopt;
    std::size_t length = text.size() - start;
    const std::size_t lf = text.find('\n', start);
    if (lf != std::string::npos) length = lf - start + 1;
    if (length > kReplyLineMax) length = kReplyLineMax;
    return text.substr(start, length);
}

bool PlainlyAnotherDevice(const std::string& received) {
    // Only whole lines tell: a reply cut by the read, or a device that has
    // sent a few bytes so far, may still be the transponder's.
    const std::size_t reply = received.find(kReplyStart);
    if (reply != std::string::npos) {
        const std::size_t end = received.find('\n', reply);
        return end != std::string::npos && received.find(kModelText, reply) == std::string::npos;
    }
    return received.find('\n') != std::string::npos && received.find("$AI") == std::string::npos &&
           received.find("!AI") == std::string::npos;
}

bool HasCommaCount(const char* text, int n) {
    int commas = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == ',') ++commas;
    }
    return commas >= n;
}

char* ReplyFieldReader::NextReplyField(char* text, char delimiter) {
    char* field = text != nullptr ? text : position_;
    if (field == nullptr) return nullptr;
    char* end = std::strchr(field, delimiter);
    if (end == nullptr || delimiter == '\0') {
        position_ = nullptr;
        return nullptr;
    }
    *end = '\0';
    position_ = end + 1;
    char* first = field;
    while (*first == ' ') ++first;
    return *first == '\0' ? field : first;
}

std::optional<std::string> VersionOfReplyLine(const std::string& line) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!HasCommaCount(buffer.data(), kVersionFieldCommas)) return std::nullopt;
    ReplyFieldReader reader;
    char* field = reader.NextReplyField(buffer.data(), ',');  // "$AIVER"
    for (int i = 0; i < 9 && field != nullptr; ++i) field = reader.NextReplyField(nullptr, ',');
    if (field == nullptr) return std::nullopt;  // cannot happen with ten commas
    const std::string version(field);
    return version.substr(0, base::TextCutLength(version, kDeviceVersionMax));
}

}  // namespace serial
