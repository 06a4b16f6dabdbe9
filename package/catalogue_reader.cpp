#include "package/catalogue_reader.h"

#include <cstring>
#include <string_view>

#include "base/utf8_text.h"

namespace package {

bool CatalogueText::nextLine(char (&line)[kMaxLineChunk + 1], std::size_t& length) {
    length = 0;
    while (!ended_ && length < kMaxLineChunk) {
        const int c = std::fgetc(stream_);
        if (c == EOF || c == kEndOfTextByte) {
            ended_ = true;
            break;
        }
        if (c == '\r') continue;
        line[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    line[length] = '\0';
    return length > 0;
}

namespace {

// The version field of a record line: after the first comma and any commas
// directly after it, up to the next comma, the line feed or the line's end.
// False when the line has no comma at all.
bool versionField(std::string_view line, std::string_view& field) {
    std::size_t start = line.find(',');
    if (start == std::string_view::npos) return false;
    while (start < line.size() && line[start] == ',') ++start;
    std::size_t end = start;
    while (end < line.size() && line[end] != ',' && line[end] != '\n') ++end;
    field = line.substr(start, end - start);
    return true;
}

}  // namespace

bool FindCatalogueVersion(std::FILE* stream, const char* key, char (&destination)[kMaxVersionLength + 1]) {
    const std::string_view wanted(key);
    CatalogueText text(stream);
    char buffer[kMaxLineChunk + 1];
    std::size_t length = 0;
    while (text.nextLine(buffer, length)) {
        const std::string_view line(buffer, length);
        if (line.find(wanted) == std::string_view::npos) continue;
        std::string_view field;
        if (!versionField(line, field)) continue;
        const std::size_t kept = base::TextCutLength(field, kMaxVersionLength);
        std::memcpy(destination, field.data(), kept);
        destination[kept] = '\0';
        return true;
    }
    std::strcpy(destination, "Unknown");
    return false;
}

}  // namespace package
