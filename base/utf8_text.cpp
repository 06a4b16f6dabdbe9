#include "base/utf8_text.h"

#include <cstdint>

namespace base {

namespace {

// Windows-1252 for 0x80..0x9F; the other bytes are their own code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Decodes the UTF-8 sequence at text[i]; the code point, or -1 when the
// bytes there are not a well-formed sequence. Advances i past it.
int32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    int32_t cp = 0, min = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return -1;
    }
    if (i + length > text.size()) return -1;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += length;
    return cp;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();)
        if (nextCodePoint(bytes, i) < 0) return false;
    return true;
}

std::u16string DisplayText(std::string_view bytes) {
    std::u16string out;
    if (IsUtf8(bytes)) {
        for (std::size_t i = 0; i < bytes.size();) {
            const int32_t cp = nextCodePoint(bytes, i);
            if (cp >= 0x10000) {
                out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(cp));
            }
        }
        return out;
    }
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

std::string Utf8Text(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    std::string out;
    // Windows-1252 reaches no further than U+2122: one to three bytes.
    for (const char16_t c : DisplayText(bytes)) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t n = maxBytes;
    // Step back over continuation bytes to the start of the cut character.
    while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

std::size_t TextCutLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t end = maxBytes;  // the end of the character the limit cuts
    while (end < text.size() && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) ++end;
    return IsUtf8(text.substr(0, end)) ? Utf8PrefixLength(text, maxBytes) : maxBytes;
}

}  // namespace base
